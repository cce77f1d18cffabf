#include "app/EntryPoint.h"

#include <gmock/gmock.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>
#include <tuple>

#include "support/Sandbox.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::string kMain = "int main(int, const char **):";

// sh -c command in a child process, as that user (with its own group alone) when one is given.
pid_t startShell(const std::string& command, std::optional<uid_t> user = std::nullopt) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (user && (::setgroups(0, nullptr) != 0 || ::setgid(*user) != 0 || ::setuid(*user) != 0)) ::_exit(126);
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

// brim_asset_sandbox started with args in the background, its output going to <root>/output.
pid_t startInBackground(const Sandbox& sandbox, const std::vector<std::string>& args) {
  return startShell(sandbox.command(args) + " >'" + sandbox.root() + "/output' 2>&1");
}

// Waits, at most a generous bound, until ready() holds; whether it did.
bool eventually(const std::function<bool()>& ready) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The status pid ended with, reaped; absent when it did not end within the bound.
std::optional<int> endOf(pid_t pid) {
  int status = 0;
  if (!eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; })) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return std::nullopt;
  }
  return status;
}

// Whether the process runs (an ended one waiting to be reaped does not).
bool running(pid_t pid) {
  const RunResult state = runShell("ps -o stat= -p " + std::to_string(pid));
  return state.exitStatus == 0 && !state.output.empty() && state.output.front() != 'Z';
}

class EntryPointRun : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox.writeBuildDate();
    sandbox.writeSettings(4711);
  }
  Sandbox sandbox;
};

// An unknown option, two valid ones, or a performance option (not this tool's
// job): the usage text, under the lock. A person reads it on standard output
// line for line; the log file keeps each message on its one line.
TEST_F(EntryPointRun, WrongParametersAreAnsweredWithTheUsageTextUnderTheLock) {
  BRIM_REQUIRE_ROOT();
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-Software"}, "argc=2\n" + kMain + "Wrong Parameter (\n    \"-Software\"\n) specified in command\n"},
      {{"-software", "-macName"},
       "argc=3\n" + kMain + "Wrong Parameter (\n    \"-software\",\n    \"-macName\"\n) specified in command\n"},
      {{"-PerfCollect"}, "Wrong Parameter (\n    \"-PerfCollect\"\n) specified in command\n"},
  };
  const std::string usage = readFile(fixture("app/usage.txt"));
  const std::string shown = kMain + "Use following commands for asset collection\n" + usage;
  for (const auto& [args, wrong] : cases) {
    const RunResult result = sandbox.runExpecting(0, args);
    EXPECT_THAT(result.output, HasSubstr(wrong + shown));
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("bin/brim_asset.lock")));
  }
  std::string oneLine;
  for (const char c : usage.substr(0, usage.size() - 1)) oneLine += c == '\n' ? std::string("\\n") : std::string(1, c);
  const std::string log = readFile(sandbox.path("log/brim_asset_sandbox.log"));
  EXPECT_THAT(log, HasSubstr(" " + oneLine + "\n"));
  EXPECT_THAT(log, HasSubstr(kMain + "Wrong Parameter (\\n    \"-PerfCollect\"\\n) specified in command\n"));
  EXPECT_THAT(log, HasSubstr(kMain + "Lock Created"));
  EXPECT_THAT(log, HasSubstr(kMain + "Lock Removed"));
}

TEST_F(EntryPointRun, AnotherUserGetsExitStatusZeroAndNothingWritten) {
  BRIM_REQUIRE_ROOT();
  // The sandbox must be reachable for the unprivileged user, or the test proves nothing.
  ::chmod(sandbox.root().c_str(), 0755);
  // As nobody, without root's supplementary groups.
  const std::optional<int> status = endOf(startShell(sandbox.command({"-software"}) + " >/dev/null 2>&1", 65534));
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_EQ(sandbox.listDir("log"), std::vector<std::string>{"build_date"});
  EXPECT_TRUE(sandbox.listDir("bin").empty());
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
}

// The sandbox's network answer is up or down; anything else stops the run before
// it takes the lock or writes a line.
TEST_F(EntryPointRun, ASandboxNetworkAnswerOtherThanUpOrDownStopsTheRun) {
  for (const std::string answer : {"sideways", "", "UP"}) {
    const RunResult result = runShell("env BRIM_SANDBOX_ROOT='" + sandbox.root() + "' BRIM_SANDBOX_REACHABILITY='" +
                                      answer + "' '" BRIM_BIN_DIR "/brim_asset_sandbox' -software 2>&1");
    EXPECT_EQ(result.exitStatus, 2) << answer;
    EXPECT_EQ(result.output,
              "brim_asset_sandbox: BRIM_SANDBOX_REACHABILITY must be up or down, not \"" + answer + "\"\n");
  }
  EXPECT_EQ(sandbox.listDir("log"), std::vector<std::string>{"build_date"});
  EXPECT_TRUE(sandbox.listDir("bin").empty());
}

// A registration id that is no integer in range (here a NaN) reads as 0: not registered.
TEST_F(EntryPointRun, RegistrationThatWritesNothingStopsBeforeTheLock) {
  BRIM_REQUIRE_ROOT();
  sandbox.writeSettings(0);
  std::string settings = readFile(sandbox.path("config/settings.plist"));
  writeFile(sandbox.path("config/settings.plist"),
            settings.replace(settings.find("<integer>0</integer>"), 20, "<real>nan</real>"));
  sandbox.writeExecutable(sandbox.path("bin/brim_register"), "#!/bin/sh\nexit 3\n");
  const RunResult result = sandbox.runExpecting(0, {});
  EXPECT_THAT(result.output, HasSubstr(kMain + "regid=0\n"));
  EXPECT_THAT(result.output, HasSubstr(kMain + "RegID is still 0, exiting"));
  EXPECT_THAT(result.output, Not(HasSubstr("Lock Created")));
  EXPECT_THAT(result.output, Not(HasSubstr("asset data collection")));
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
}

// Root runs brim_register only from a settings file, a folder and a tool that
// nobody but root could have put there; otherwise the run logs what to fix
// and fails. (Each refusal, and the path checks themselves: TrustedPath's test.)
TEST_F(EntryPointRun, ARegistrationToolOthersCouldHavePlacedIsNeverRun) {
  BRIM_REQUIRE_ROOT();
  const std::string marker = sandbox.root() + "/REGISTERED";
  const std::string settings = sandbox.path("config/settings.plist");
  const std::string registration = "#!/bin/sh\ntouch '" + marker + "'\n";
  // A settings file of another user naming that user's folder with its own tool.
  const std::string theirs = sandbox.root() + "/theirs";
  sandbox.writeExecutable(theirs + "/bin/brim_register", registration);
  sandbox.writeSettings(0);
  std::string text = readFile(settings);
  writeFile(settings, text.replace(text.find(sandbox.installDir()), sandbox.installDir().size(), theirs));
  ASSERT_EQ(::chown(settings.c_str(), 65534, 65534), 0);
  RunResult result = sandbox.runExpecting(255, {});
  EXPECT_THAT(result.output, HasSubstr("settings file " + settings + " not read: " + settings +
                                       " belongs to user 65534, not root: chown root " + settings));
  // No settings file at all: every folder would be "(null)/(null)" under the working folder.
  std::filesystem::remove(settings);
  sandbox.writeExecutable(sandbox.root() + "/(null)/(null)/brim_register", registration);
  result = sandbox.runExpecting(255, {});
  EXPECT_THAT(result.output, HasSubstr(kMain + "The executable folder cannot be used, the settings name no folder: "
                                               "\"(null)/(null)\" is not an absolute path; nothing is run\n"));
  // The agent's own tool in a folder others may write to.
  sandbox.writeSettings(0);
  sandbox.writeExecutable(sandbox.path("bin/brim_register"), registration);
  ::chmod(sandbox.path("bin/brim_register").c_str(), 0775);
  result = sandbox.runExpecting(255, {});
  EXPECT_THAT(result.output, HasSubstr(kMain + "brim_register not run: " + sandbox.path("bin/brim_register") +
                                       " (mode 775) may be changed by users other than root: chmod go-w " +
                                       sandbox.path("bin/brim_register") + "\n"));

  EXPECT_FALSE(std::filesystem::exists(marker));
  EXPECT_THAT(readFile(sandbox.path("log/brim_asset_sandbox.log")), Not(HasSubstr("Lock Created")));
}

// A link planted where the run creates or appends as root, naming a file or
// nothing: what it names is neither written nor created, and the run goes on.
TEST_F(EntryPointRun, ALinkPlantedWhereTheRunWritesIsNeverFollowed) {
  BRIM_REQUIRE_ROOT();
  const std::string precious = sandbox.root() + "/precious";
  const std::string nothing = sandbox.root() + "/nothing";
  for (const auto& planted : fixtureCases("app/planted-links.cases", 2)) {
    const std::string link = sandbox.expand(planted[0]);
    for (const std::string& target : {precious, nothing}) {
      SCOPED_TRACE(link + " -> " + target);
      writeFile(precious, "kept\n");
      std::filesystem::remove(sandbox.path("log/build_date"));
      if (planted[1] == "log on") sandbox.writeBuildDate();
      std::filesystem::remove(link);
      std::filesystem::create_symlink(target, link);

      const RunResult result = sandbox.runExpecting(0, {"-wrong"});
      EXPECT_THAT(result.output, HasSubstr("refused " + link));
      EXPECT_THAT(result.output, HasSubstr("Lock Removed"));
      EXPECT_EQ(readFile(precious), "kept\n");
      EXPECT_FALSE(std::filesystem::exists(nothing));
      std::filesystem::remove(link);
    }
  }
}

// An unregistered machine whose install path holds blanks, quotes and shell
// code: registration, profiler runs and process samples take it as one path,
// run nothing else and write nowhere else. (A command that never ends is
// killed at its limit with its process group: the runner's own tests.)
TEST_F(EntryPointRun, RegistrationAndJobsTakeAnInstallPathWithShellCodeAsOnePath) {
  BRIM_REQUIRE_ROOT();
  const std::string agent = sandbox.root() + "/agent dir;touch SEMI $(touch DOLLAR) `touch TICK` it's";
  for (const char* dir : {"bin", "temp", "data", "datapost"}) std::filesystem::create_directories(agent + "/" + dir);
  writeFile(sandbox.root() + "/agent", "neighbour\n");  // where the path split at its blank would go
  sandbox.writeSettings(0);
  const std::string settings = sandbox.path("config/settings.plist");
  std::string text = readFile(settings);
  text.replace(text.find(sandbox.installDir()), sandbox.installDir().size(), agent);
  writeFile(settings, text);
  // A registration tool that rewrites the settings file with a new id.
  text.replace(text.find("<integer>0</integer>"), 20, "<integer>4712</integer>");
  writeFile(sandbox.path("config/registered.plist"), text);
  sandbox.writeExecutable(agent + "/bin/brim_register",
                          "#!/bin/sh\ncp '" + sandbox.path("config/registered.plist") + "' '" + settings + "'\n");
  sandbox.replayProfilerFrom(testData("mac-a"));

  RunResult result = sandbox.runExpecting(0, {"-software"});
  for (const std::string& line :
       {kMain + "regid=0\n", kMain + "agentInstallPath=" + agent + "\n", kMain + "current regid=4712\n"}) {
    EXPECT_THAT(result.output, HasSubstr(line));
  }
  const auto files = std::filesystem::directory_iterator(agent + "/datapost");
  ASSERT_NE(files, std::filesystem::directory_iterator());
  const std::string document = readFile(files->path().string());
  for (const char* category : {"systeminfo</fnname><dtl ID=\"0\">", "applicationinfo</fnname><dtl ID=\"0\">",
                               "usbinfo</fnname><dtl ID=\"0\">"}) {
    EXPECT_THAT(document, HasSubstr(std::string("<fnname>") + category));
  }
  result = sandbox.run({"-ProcCollect"});
  EXPECT_THAT(result.output, HasSubstr("-[CollectProcessesData CreatnInsttoProcsDB:]:INSERT SUCCESS"));

  EXPECT_EQ(readFile(sandbox.root() + "/agent"), "neighbour\n");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(sandbox.root())) {
    const std::string name = entry.path().filename();
    EXPECT_TRUE(name != "SEMI" && name != "DOLLAR" && name != "TICK" && name != "dir") << entry.path();
  }
}

// The lock wait runs in-process with an injected sleep, so no test waits a
// minute: a lock nobody removes is tested 600 times 0.1 s apart, then taken
// over; once the earlier run removes its lock, the job starts at once. The
// start delay before it is 1 to 6 s, drawn from the randomness.
TEST_F(EntryPointRun, ALockNobodyRemovesIsTakenOverAfterSixHundredTests) {
  SandboxInProcess inProcess(sandbox);
  const std::string lock = sandbox.path("bin/brim_asset.lock");
  // Tests after which the earlier run removes its lock (0: never), tests made; random value, start delay.
  const std::tuple<size_t, size_t, uint32_t, uint32_t> cases[] = {
      {0, 600, 0, 1000000}, {5, 5, 4999999, 5999999}, {1, 1, UINT32_MAX, 5967295}};
  for (const auto& [removedAfter, tests, random, delay] : cases) {
    std::vector<uint32_t> sleeps;
    EntryPoint::Hooks hooks = EntryPoint::platformHooks();
    hooks.userName = [] { return std::string("root"); };
    hooks.random = [random] { return random; };
    hooks.sleepMicros = [&](uint32_t micros) {
      sleeps.push_back(micros);
      if (removedAfter != 0 && sleeps.size() == removedAfter + 1) std::filesystem::remove(lock);
    };
    writeFile(lock, "");
    EXPECT_EQ(EntryPoint(hooks).run({"-wrong"}), 0);
    std::vector<uint32_t> expected(tests, 100000u);
    expected.insert(expected.begin(), delay);
    EXPECT_EQ(sleeps, expected);
    EXPECT_FALSE(std::filesystem::exists(lock));  // taken over or left, then removed at the end
  }
  const std::string log = readFile(sandbox.path("log/test_app.log"));
  EXPECT_THAT(log, HasSubstr("Waiting for another instance of brim_asset to finish"));
}

// The executable folder swapped for a link while the run waits for an earlier
// lock: the lock is taken over and removed in the folder that was checked,
// and nothing where the link points is taken over or removed.
TEST_F(EntryPointRun, ALinkSwappedInForTheExecutableFolderGetsNoLock) {
  SandboxInProcess inProcess(sandbox);
  const std::string outside = sandbox.root() + "/outside";
  std::filesystem::create_directory(outside);
  // What a run that followed the link would take over, removing it.
  writeFile(outside + "/victim", "precious\n");
  std::filesystem::create_hard_link(outside + "/victim", outside + "/brim_asset.lock");
  writeFile(sandbox.path("bin/brim_asset.lock"), "");
  EntryPoint::Hooks hooks = EntryPoint::platformHooks();
  hooks.userName = [] { return std::string("root"); };
  int sleeps = 0;
  hooks.sleepMicros = [&](uint32_t) {
    // The first sleep is the start delay, before the folders are checked.
    if (++sleeps != 2) return;
    std::filesystem::rename(sandbox.path("bin"), sandbox.path("bin.checked"));
    std::filesystem::create_directory_symlink(outside, sandbox.path("bin"));
  };
  EXPECT_EQ(EntryPoint(hooks).run({"-wrong"}), 0);
  EXPECT_EQ(std::filesystem::hard_link_count(outside + "/victim"), 2u);
  EXPECT_EQ(readFile(outside + "/victim"), "precious\n");
  EXPECT_FALSE(std::filesystem::exists(sandbox.path("bin.checked/brim_asset.lock")));
  const std::string log = readFile(sandbox.path("log/test_app.log"));
  EXPECT_THAT(log, HasSubstr(kMain + "Lock Created"));
  EXPECT_THAT(log, HasSubstr(kMain + "Lock Removed"));
}

// A termination signal ends the run at once, wherever it is: a full run in
// the middle of a slow profiler loses the profiler's processes, its temporary
// folder and its lock, so the next run starts at once; a run still waiting for
// another run's lock leaves that lock alone. Each says so in one line, and
// ends by the signal it got.
TEST_F(EntryPointRun, ATerminationSignalEndsTheRunAndLeavesNothingBehind) {
  BRIM_REQUIRE_ROOT();
  sandbox.installRecordedMac();
  const std::string sleepers = sandbox.root() + "/sleepers";
  sandbox.wrapProfiler("app/hanging_profiler.sh");
  const std::string lock = sandbox.path("bin/brim_asset.lock");
  const std::string log = sandbox.path("log/brim_asset_sandbox.log");

  for (const auto& [signal, name] : {std::pair{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}}) {
    SCOPED_TRACE(name);
    std::filesystem::remove(sleepers);
    std::filesystem::remove(sandbox.root() + "/profiler-calls");
    const pid_t run = startInBackground(sandbox, {});
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(sleepers); })) << readFile(sandbox.root() + "/output");
    ::kill(run, signal);
    const std::optional<int> status = endOf(run);
    ASSERT_TRUE(status) << "still running: " << readFile(sandbox.root() + "/output");
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == signal) << *status;
    EXPECT_FALSE(std::filesystem::exists(lock));
    EXPECT_TRUE(sandbox.listDir("temp").empty()) << sandbox.listDir("temp").front();
    EXPECT_TRUE(sandbox.listDir("datapost").empty());
    const std::string sleeper = readFile(sleepers);
    EXPECT_FALSE(running(std::stoi(sleeper))) << sleeper;
    EXPECT_THAT(readFile(log), HasSubstr(kMain + "Stopped by " + name +
                                         ": running command killed, temporary files removed, Lock Removed\n"));
  }

  // Another run's lock: waited for, then left where it is.
  writeFile(lock, "");
  const pid_t waiting = startInBackground(sandbox, {"-software"});
  ASSERT_TRUE(eventually(
      [&] { return readFile(log).find("Waiting for another instance of brim_asset") != std::string::npos; }));
  ::kill(waiting, SIGTERM);
  const std::optional<int> status = endOf(waiting);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM) << *status;
  EXPECT_TRUE(std::filesystem::exists(lock));
  EXPECT_THAT(readFile(log), HasSubstr(kMain + "Stopped by SIGTERM: temporary files removed, no lock taken\n"));
}

}  // namespace
}  // namespace brim::test
