// Preloaded into one run of the tool by the benchmark scripts, it reports at
// exit what the process itself used, without the commands it ran:
//   $BRIM_VMHWM_FILE: its peak resident set (VmHWM, kB). GNU time reports the
//     largest of the process and everything it waited for, which for the tool
//     is mostly the system_profiler stand-in.
//   $BRIM_OWN_CPU_FILE: its processor time, user and system (microseconds).
//     Builds share the machine, so wall times vary from run to run; the tool's
//     own processor time varies far less.
// Each is a line appended to the file named. The variables are taken out of
// the environment at start, so that the commands the tool runs do not report too.
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>

static char peakTarget[4096];
static char cpuTarget[4096];

static void take(const char* variable, char* target, size_t size) {
  const char* file = getenv(variable);
  if (file && strlen(file) < size) strcpy(target, file);
  unsetenv(variable);
}

__attribute__((constructor)) static void start(void) {
  take("BRIM_VMHWM_FILE", peakTarget, sizeof peakTarget);
  take("BRIM_OWN_CPU_FILE", cpuTarget, sizeof cpuTarget);
  unsetenv("LD_PRELOAD");
}

static void reportPeak(void) {
  FILE* status = fopen("/proc/self/status", "r");
  if (!status) return;
  char line[256];
  long peak = -1;
  while (fgets(line, sizeof line, status)) {
    if (strncmp(line, "VmHWM:", 6) == 0) peak = atol(line + 6);
  }
  fclose(status);
  FILE* out = fopen(peakTarget, "a");
  if (!out) return;
  fprintf(out, "%ld\n", peak);
  fclose(out);
}

static void reportCpu(void) {
  struct rusage own;
  if (getrusage(RUSAGE_SELF, &own) != 0) return;
  FILE* out = fopen(cpuTarget, "a");
  if (!out) return;
  fprintf(out, "%ld %ld\n", own.ru_utime.tv_sec * 1000000L + own.ru_utime.tv_usec,
          own.ru_stime.tv_sec * 1000000L + own.ru_stime.tv_usec);
  fclose(out);
}

__attribute__((destructor)) static void finish(void) {
  if (peakTarget[0]) reportPeak();
  if (cpuTarget[0]) reportCpu();
}
