#pragma once
// A temporary agent installation for end-to-end runs of brim_asset_sandbox.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "config/SectionFields.h"

namespace brim::test {

struct RunResult {
  int exitStatus = -1;
  std::string output;  // standard output and standard error
};

// Sets environment variables for the life of the guard; TZ among them takes effect at once.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::vector<std::string>& names, const std::string& value) {
    for (const std::string& name : names) {
      const char* old = std::getenv(name.c_str());
      previous_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      ::setenv(name.c_str(), value.c_str(), 1);
    }
    ::tzset();
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : previous_)
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    ::tzset();
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> previous_;
};

// The system time zone, by its name, for the life of the guard.
struct TimeZone : ScopedEnvironment {
  explicit TimeZone(const char* tz) : ScopedEnvironment({"TZ"}, tz) {}
};

// A zone in which it is now mid-afternoon, so that a time stamp written on a
// 12-hour clock cannot pass for the 24-hour one.
struct AfternoonTimeZone : TimeZone {
  AfternoonTimeZone();
};

// 4 December 2026, 21:05:03 in New York.
constexpr std::chrono::system_clock::time_point kDecemberEvening{std::chrono::seconds(1796436303)};

// A routing table as /proc/net/route lists it: the local route 10.0.2.0/24 on eth0, then routes.
std::string routeTable(const std::string& routes = "");

// PATH with dir put first.
std::string pathWithFirst(const std::string& dir);

class Sandbox {
 public:
  Sandbox();  // lays out <root>/opt/local/share/brimvault_mac with config, bin, temp, log, data, datapost
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& root() const { return root_; }
  // The agent's install directory inside the sandbox.
  std::string installDir() const { return root_ + "/opt/local/share/brimvault_mac"; }
  std::string path(const std::string& relative) const { return installDir() + "/" + relative; }
  // text with every "@ROOT@" the sandbox's root and every "@AGENT@" its install directory.
  std::string expand(const std::string& text) const;

  // Writes config/settings.plist with "macfolders" pointing into the sandbox and
  // "machineinfo" holding dcregid and machineInfoEntries, plus extra root entries; both are
  // plist XML fragments.
  void writeSettings(long long dcRegId, const std::string& extraRootEntries = "",
                     const std::string& machineInfoEntries = "") const;
  void writeBuildDate(const std::string& text = "2026-12-05 build\n") const;
  // A registered installation (id 4711) with its log on, whose profiler replays the
  // recorded Mac; its hardware profile names the model, so the day logs have their directory.
  void installRecordedMac() const;
  // A directory put first on PATH for the run: put replaying executables there.
  std::string fakeBinDir() const { return root_ + "/fakebin"; }
  void writeExecutable(const std::string& path, const std::string& script) const;
  // Puts a system_profiler first on PATH that prints "<dir>/<DataType>.xml" for "-xml" and
  // "<dir>/<DataType>.txt" otherwise (nothing when the file is missing), as a recorded machine
  // would answer; each call's arguments are noted as one line of <root>/profiler-calls.
  void replayProfilerFrom(const std::string& dir) const;
  // Puts the script under tests/fixtures in front of the replaying system_profiler, which the
  // script reaches as "$BRIM_SANDBOX_ROOT/fakebin/replay_profiler".
  void wrapProfiler(const std::string& script) const;
  // The network as every later run of brim_asset_sandbox sees it, whatever the machine's own
  // network: down until said otherwise, as on a machine without routes.
  void setNetwork(bool up) { network_ = up ? "up" : "down"; }
  // The routing table the Linux reachability source reads: with or without a default route
  // (flags 0201 make it a reject route); later runs read it instead of the sandbox's answer.
  void writeRouteTable(bool withDefaultRoute, const std::string& defaultRouteFlags = "0003");

  // The shell command that runs brim_asset_sandbox in the sandbox with the start delay skipped.
  std::string command(const std::vector<std::string>& args) const;
  // Runs that command.
  RunResult run(const std::vector<std::string>& args) const;
  // A run that is expected to exit with exitStatus; its output tells why when it does not.
  RunResult runExpecting(int exitStatus, const std::vector<std::string>& args) const;
  std::vector<std::string> listDir(const std::string& relative) const;
  // Takes the one data-post file away, as the uploader would, and gives its text: a
  // document brim_inspect checks OK, named prefix, registration id 4711 and a 14-digit time stamp.
  std::string takeDataPostFile(const std::string& prefix) const;

 private:
  std::string root_;
  std::optional<std::string> network_ = "down";  // absent: the system's own answer
};

// While it lives, every fixed path of this process points into the sandbox.
class SandboxRoot {
 public:
  explicit SandboxRoot(const Sandbox& sandbox);
  ~SandboxRoot();
  SandboxRoot(const SandboxRoot&) = delete;
  SandboxRoot& operator=(const SandboxRoot&) = delete;

 private:
  std::string previous_;
};

// For in-process tests: while it lives, fixed paths are taken under the sandbox, the shared
// settings store holds the sandbox's settings (write them first), the sandbox's fake bin
// directory is first on PATH, and the clock may be pinned; all of it is undone at the end.
class SandboxInProcess {
 public:
  explicit SandboxInProcess(const Sandbox& sandbox);
  ~SandboxInProcess();
  SandboxInProcess(const SandboxInProcess&) = delete;
  SandboxInProcess& operator=(const SandboxInProcess&) = delete;

 private:
  SandboxRoot root_;
  ScopedEnvironment path_;
};

// The messages of this process's log, in order, without header and time stamps.
std::vector<std::string> loggedMessages();
// Runs command through /bin/sh: its exit status and standard output.
RunResult runShell(const std::string& command);
// runShell for a command that must not hang the suite: at the deadline its whole process
// group is killed and the exit status is -1.
RunResult runShellWithin(const std::string& command, std::chrono::seconds limit);
// The standard output of command, run through /bin/sh with input on its
// standard input; a command that fails fails the test.
std::string shellOutput(const std::string& command, const std::string& input = "");
// brim_inspect with these (shell-quoted) arguments; standard error joins standard output.
RunResult runInspect(const std::string& arguments);
// The file follows the wire format of its kind and fits its name.
void expectCheckedOK(const std::string& path);
// file is named "<prefix>_4711_<time stamp>", stamped in the last minutes in this process's time zone.
void expectStampedNow(const std::string& file, const std::string& prefix);
std::string readFile(const std::string& path);
// text with every occurrence of each mark replaced by its value, as "@SERVER@" by the server's address.
std::string replacedAll(std::string text, const std::vector<std::pair<std::string, std::string>>& marks);
// How often pattern matches in text.
std::ptrdiff_t occurrences(const std::string& text, const std::regex& pattern);
// A whole property-list document around the given root entries.
std::string plistDocument(const std::string& rootEntries);
// text encrypted as the agent's tools store secrets.
std::string encrypted(const std::string& text, const std::string& passPhrase = sharedPassPhrase());
// Standard output while action runs: the log's echo and what the code prints itself.
std::string stdoutOf(const std::function<void()>& action);
std::string fixture(const std::string& relative);   // path under tests/fixtures
std::string testData(const std::string& relative);  // path under tests/data
// The cases of a table under tests/fixtures, one a line, their fields parted by
// " | " (a line ending in " |" ends with an empty field); blank lines and those
// starting with "#" are left out. In a field \n, \r, \t and \xHH stand for
// those bytes, a backslash before any other character for that character.
std::vector<std::vector<std::string>> fixtureCases(const std::string& relative, std::size_t fields);
// actual is the reviewed text in the file at path; with BRIM_UPDATE_EXPECTED=1 it is written
// there instead, after a deliberate change: review the diff.
void expectAsReviewed(const std::string& path, const std::string& actual);
void writeFile(const std::string& path, const std::string& text);
// Property-list arrays nested levels deep around inner.
std::string nestedArrays(size_t levels, const std::string& inner = "");
// Runs body(0) to body(count - 1) at once, each in a child process whose standard
// output goes nowhere; a child that fails (an assertion, a crash) fails the test.
void inChildProcesses(int count, const std::function<void(int)>& body);
// A tmpfs with these mount options at dir, for tests of a full or read-only
// disk; false where none can be mounted (not root, not Linux).
bool mountTmpfs(const std::string& dir, const std::string& options, bool readOnly = false);
bool unmountTmpfs(const std::string& dir);
#define BRIM_REQUIRE_ROOT() \
  if (::geteuid() != 0) GTEST_SKIP() << "end-to-end runs need root: the tool does nothing for other users"
// What only the Linux build has to test (the stand-ins' files, ELF, a peer through libcrypto) is
// skipped by the macOS tests, saying why.
#ifdef __APPLE__
#define BRIM_LINUX_ONLY(why) GTEST_SKIP() << "Linux only: " << why
#else
#define BRIM_LINUX_ONLY(why) static_cast<void>(0)
#endif
// The same for one case of a table, in the loop over its cases.
#ifdef __APPLE__
#define BRIM_LINUX_ONLY_CASE(why) continue
#else
#define BRIM_LINUX_ONLY_CASE(why) static_cast<void>(0)
#endif

}  // namespace brim::test
