// Preloaded into one run of the tool by the benchmark scripts: at exit, appends
// the process's own peak resident set (VmHWM, kB) to $BRIM_VMHWM_FILE. GNU
// time reports the largest of the process and everything it waited for, which
// for the tool is mostly the system_profiler stand-in; this is the tool alone.
// Taken out of the environment at start, so that the commands the tool runs
// do not report too.
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char target[4096];

__attribute__((constructor)) static void start(void) {
  const char* file = getenv("BRIM_VMHWM_FILE");
  if (file && strlen(file) < sizeof target) strcpy(target, file);
  unsetenv("BRIM_VMHWM_FILE");
  unsetenv("LD_PRELOAD");
}

__attribute__((destructor)) static void finish(void) {
  if (!target[0]) return;
  FILE* status = fopen("/proc/self/status", "r");
  if (!status) return;
  char line[256];
  long peak = -1;
  while (fgets(line, sizeof line, status)) {
    if (strncmp(line, "VmHWM:", 6) == 0) peak = atol(line + 6);
  }
  fclose(status);
  FILE* out = fopen(target, "a");
  if (!out) return;
  fprintf(out, "%ld\n", peak);
  fclose(out);
}
