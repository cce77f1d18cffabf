// The diagnostic log and the shell command runner every job uses, with what
// reads the runner's work files and stamps its documents: the log's files,
// header, locks and lines; commands and their output; work files; dates.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/CustomLogger.h"
#include "platform/DateTime.h"
#include "platform/DistributedNotification.h"
#include "platform/FileOperations.h"
#include "platform/FileSystem.h"
#include "platform/LateLibrary.h"
#include "platform/ProcessInfo.h"
#include "platform/ShellCommand.h"
#include "platform/Text.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

fs::perms permissionsOf(const std::string& path) { return fs::status(path).permissions(); }

class CustomLoggerTest : public ::testing::Test {
 protected:
  // Commands and work files log what they do: the log is on.
  CustomLoggerTest() {
    files.dataStorageDir = sandbox.path("temp");
    sandbox.writeBuildDate();
  }
  ~CustomLoggerTest() override {
    CustomLogger::setWaitsForTesting(std::nullopt);
    DateTime::setNowForTesting(std::nullopt);
    ShellCommand::setLimits(std::nullopt);
  }
  std::string logPath() const { return sandbox.path("log/" + ProcessInfo::processName() + ".log"); }
  std::string lockPath() const { return logPath() + ".lock"; }
  std::string logText() const { return readFile(logPath()); }

  Sandbox sandbox;
  SandboxRoot root{sandbox};
  TimeZone zone{"America/New_York"};
  FileOperations files;
};

using ExecuteCommandTest = CustomLoggerTest;

// The header a new log starts with, around the build-date file's text.
std::string header(const std::string& buildDate) {
  return "Build Date\n-----------\n" + buildDate + "\n---------------------------------\n\n";
}

// The build-date file decides: without it messages go bare to the fallback
// log; with it a new log starts with the build date (text that is not UTF-8
// reads as not configured), and messages are kept, each stamped, on one line.
// An emptied log (cleared, or left empty by newsyslog or logrotate) starts
// with its header again at the next entry; entries after it do not.
TEST_F(CustomLoggerTest, TheBuildDateDecidesTheLogAndItsHeader) {
  std::filesystem::remove(sandbox.path("log/build_date"));
  DateTime::setNowForTesting(kDecemberEvening);
  ::testing::internal::CaptureStdout();
  CustomLogger::MyCustomLog("no build date yet");
  EXPECT_FALSE(std::filesystem::exists(logPath()));
  sandbox.writeBuildDate("2026-12-05 build 4711\n");
  logAt(Sig::instance("Probe", "run"), "first\n\nsecond");
  DateTime::setNowForTesting(kDecemberEvening + std::chrono::hours(3) + std::chrono::seconds(4));
  CustomLogger::MyCustomLog("third");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "no build date yet\n-[Probe run]:first\n\nsecond\nthird\n");
  EXPECT_EQ(readFile(sandbox.root() + "/tmp/brimvault_NOLOG.log"), "no build date yet\n");
  const std::string built = header("2026-12-05 build 4711\n"), stamp = "12/5/26, 12:05:07 AM ";
  EXPECT_EQ(logText(), built + "12/4/26, 9:05:03 PM -[Probe run]:first\\n\\nsecond\n" + stamp + "third\n");
  CustomLogger::clearLog();
  EXPECT_EQ(logText(), "");
  EXPECT_TRUE(CustomLogger::getLogArray().empty());
  CustomLogger::MyCustomLog("after clearing");
  const std::string rotated = logPath() + ".0";
  fs::rename(logPath(), rotated);
  writeFile(logPath(), "");
  CustomLogger::log("after rotation");
  CustomLogger::log("and on");
  EXPECT_EQ(readFile(rotated), built + stamp + "after clearing\n");
  EXPECT_EQ(logText(), built + stamp + "after rotation\n" + stamp + "and on\n");

  std::filesystem::remove(logPath());
  sandbox.writeBuildDate("built \xff\xfe\n");
  CustomLogger::log("x");
  EXPECT_THAT(logText(), ::testing::StartsWith(header("build date not configured")));
}

// A proxy address is logged with or without a scheme; its user information
// goes either way, and an address without any stays as it is.
TEST(AddressCredentials, GoWhateverTheAddressLooksLike) {
  for (const auto& c : fixtureCases("platform/address-credentials.cases", 2))
    EXPECT_EQ(withoutAddressCredentials(c[0]), c[1]) << c[0];
}

// Whatever a message holds (a server's answer, a profiler value), it stays one
// entry of one line in the files, which only root can read: control
// characters (the Unicode line separators and the bidirectional controls
// among them) are escaped, a tab stays, a backslash is doubled, and no URL's
// password is written. Standard output shows the same with its line breaks.
TEST_F(CustomLoggerTest, EachMessageIsOneLineWithoutControlsOrPasswords) {
  const auto cases = fixtureCases("platform/log-messages.cases", 3);
  for (const auto& c : cases) {
    const std::string written = c[1].empty() ? c[0] : c[1];
    EXPECT_EQ(stdoutOf([&] { CustomLogger::MyCustomLog(c[0]); }), (c[2].empty() ? written : c[2]) + "\n");
    EXPECT_THAT(logText(), ::testing::EndsWith(" " + written + "\n"));
  }
  // A document in pieces is rewritten as a whole: a URL or a character may span two of them.
  EXPECT_EQ(stdoutOf([] {
              logAt(Sig::instance("Probe", "run"), {"http://agent:s3", "cret@host/ \xc2", "", "\x9b", "\n"});
            }),
            "-[Probe run]:http://***@host/ \\u009b\n\n");
  EXPECT_EQ(CustomLogger::getLogArray().size(), 4u + cases.size() + 1u);
  for (const char* secret : {"s3cret", "agent", "s3\"c", "tok3n"}) EXPECT_THAT(logText(), Not(HasSubstr(secret)));

  std::filesystem::remove(sandbox.path("log/build_date"));
  CustomLogger::MyCustomLog(cases[0][0]);
  EXPECT_EQ(readFile(sandbox.root() + "/tmp/brimvault_NOLOG.log"), cases[0][1] + "\n");
  for (const std::string& file : {logPath(), sandbox.root() + "/tmp/brimvault_NOLOG.log"}) {
    EXPECT_EQ(permissionsOf(file), fs::perms::owner_read | fs::perms::owner_write) << file;
  }
}

// A line over 4 MiB is cut between two characters, and says how much of the
// line as written (escapes included) is missing.
TEST_F(CustomLoggerTest, ALineOverFourMiBIsCutWithAMarker) {
  std::string letters;
  for (int i = 0; i < 2'500'000; ++i) letters += "\xC3\xA9";  // two bytes each
  for (const auto& [message, written] : {std::pair{letters, letters}, std::pair{"\x01" + letters, "\\x01" + letters}}) {
    const std::string echoed = stdoutOf([&] { CustomLogger::MyCustomLog(message); });
    const size_t kept = echoed.rfind(" [line cut: ");
    ASSERT_NE(kept, std::string::npos);
    size_t leftOut = 0;
    ASSERT_EQ(std::sscanf(echoed.c_str() + kept, " [line cut: %zu more bytes left out]\n", &leftOut), 1);
    EXPECT_TRUE(kept % 2 == 0 && echoed.compare(0, kept, written, 0, kept) == 0 && kept + leftOut == written.size());
    EXPECT_LE(echoed.size() - 1, size_t{4} << 20);
    EXPECT_TRUE(CustomLogger::getLogArray().back().ends_with(" " + echoed.substr(0, echoed.size() - 1)));
  }
}

// A lock file left by a writer that died is waited for, then taken over and
// removed, so only the message that found it waits.
TEST_F(CustomLoggerTest, StaleLockFileIsTakenOverAfterItsWaits) {
  CustomLogger::log("before");
  writeFile(lockPath(), "");
  CustomLogger::setWaitsForTesting(CustomLogger::Waits{5, std::chrono::microseconds(0)});
  const std::string wait = "Waiting for lock file to be removed\n";
  EXPECT_EQ(stdoutOf([] { CustomLogger::MyCustomLog("after a dead writer"); }),
            "after a dead writer\n" + wait + wait + wait + wait + wait);
  EXPECT_FALSE(std::filesystem::exists(lockPath()));
  EXPECT_THAT(logText(), HasSubstr(" after a dead writer\n"));

  // A lock nobody could have left for this user (a second name of one of
  // root's files, a file of another user) is refused and removed at once.
  const std::string rootsFile = sandbox.path("temp/roots-file");
  writeFile(rootsFile, "kept");
  CustomLogger::setWaitsForTesting(std::nullopt);
  for (const char* kind : {"hard link", "another user's file"}) {
    if (std::string_view(kind) == "hard link") {
      fs::create_hard_link(rootsFile, lockPath());
    } else {
      // Only root can give a file away; the hard link shows the refusal to anyone else.
      if (::geteuid() != 0) continue;
      writeFile(lockPath(), "");
      ASSERT_EQ(::chown(lockPath().c_str(), 65534, 65534), 0);
    }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(stdoutOf([] { CustomLogger::MyCustomLog("past a planted lock"); }), "past a planted lock\n") << kind;
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("refused " + lockPath())) << kind;
    EXPECT_FALSE(fs::exists(fs::symlink_status(lockPath()))) << kind;
  }
  EXPECT_EQ(readFile(rootsFile), "kept");
}

// A library the log needs (the notification's) that fails to load says so
// while the log holds its own locks: that message is logged right after the
// one that led to it, rather than wait for a lock its own thread holds.
TEST_F(CustomLoggerTest, AMessageFromInsideTheLogIsLoggedAfterIt) {
  static constexpr const char* kFunctions[] = {"CFRelease"};
  static constexpr LateLibrary::Declaration kMissing{LateLibrary::Name::kCoreFoundation, "CoreFoundation",
                                                     "notifications are not posted", kFunctions};
  const std::string missing = sandbox.root() + "/no/CoreFoundation";
  std::vector<std::string> received;
  CustomLogger::setSink([&](const std::string& message) {
    received.push_back(message);
    std::string reason;
    if (received.size() == 1) {
      EXPECT_EQ(LateLibrary::open(kMissing, missing, reason), nullptr);
    }
  });
  CustomLogger::MyCustomLog("asks for the library");
  CustomLogger::MyCustomLog("goes on");
  CustomLogger::setSink(nullptr);
  EXPECT_THAT(received, ::testing::ElementsAre("asks for the library",
                                               ::testing::StartsWith("+[LateLibrary open:]:cannot load CoreFoundation, "
                                                                     "notifications are not posted: " +
                                                                     missing),
                                               "goes on"));
}

TEST_F(CustomLoggerTest, TwoProcessesLoggingAtOnceLoseNoLineAndSplitNone) {
  CustomLogger::log("parent");
  // Longer than a stdio buffer, so a line written in pieces would show.
  const std::string payload(6000, 'p');
  constexpr int kLines = 500;
  // Real waits would only make the test slow: what is tested is the file.
  CustomLogger::setWaitsForTesting(CustomLogger::Waits{1000, std::chrono::microseconds(200)});

  inChildProcesses(2, [&](int child) {
    const std::string writer(1, static_cast<char>('A' + child));
    for (int i = 0; i < kLines; ++i) CustomLogger::MyCustomLog(writer + " " + std::to_string(i) + " " + payload);
  });

  // Header, the parent's line, then every child's line whole and in its
  // writer's order: "<date>, <time> <AM|PM> <writer> <n> <payload>".
  const std::vector<std::string> lines = CustomLogger::getLogArray();
  EXPECT_EQ(lines.size(), 4u + 1u + 2u * kLines);
  std::map<std::string, int> next;
  for (const std::string& line : lines) {
    if (line.find(payload) == std::string::npos) continue;
    const std::string message = line.substr(line.find("M ") + 2);
    const std::string writer = message.substr(0, 1);
    EXPECT_EQ(message, writer + " " + std::to_string(next[writer]++) + " " + payload);
  }
  EXPECT_EQ(next, (std::map<std::string, int>{{"A", kLines}, {"B", kLines}}));
  EXPECT_FALSE(std::filesystem::exists(lockPath()));
}

// The process name decides the log; the test takes the two names in turn.
TEST_F(CustomLoggerTest, LogsOfTheCommunicatorAndHelpdeskAreOpenToEveryone) {
  for (const char* name : {"brim_communicatorapp", "brim_Helpdeskapp"}) {
    ProcessInfo::setProcessNameForTesting(name);
    const std::string path = sandbox.path("log/" + std::string(name) + ".log");
    CustomLogger::log("created");
    EXPECT_EQ(permissionsOf(path), std::filesystem::perms::all) << name;
    ::chmod(path.c_str(), 0600);
    CustomLogger::log("appended");
    EXPECT_EQ(permissionsOf(path), std::filesystem::perms::all) << name;
  }
  ProcessInfo::setProcessNameForTesting(std::nullopt);
  CustomLogger::log("mine");
  EXPECT_EQ(permissionsOf(logPath()), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(CustomLoggerTest, UncreatableLogWaitsUntilTheListenerMakesTheDirectory) {
  // The listener is another component of the agent; here it makes the
  // missing log directory once asked.
  std::filesystem::remove_all(sandbox.path("log"));
  CustomLogger::setWaitsForTesting(
      CustomLogger::Waits{1000, std::chrono::microseconds(10'000), std::chrono::microseconds(1'000)});
  DistributedNotification::Listener listener;
  ASSERT_TRUE(listener.listening());
  std::optional<std::string> heard;
  std::thread agent([&] {
    heard = listener.next(std::chrono::seconds(30));
    std::filesystem::create_directories(sandbox.path("log"));
  });
  const std::string path = CustomLogger::locationPath();
  agent.join();

  EXPECT_EQ(heard, "com.brimvault.changelogpermission");
  EXPECT_EQ(path, logPath());
  EXPECT_EQ(logText(), header("build date not configured"));
}

// What the agent's listener cannot mend (no free inode, a read-only disk) is
// told on standard error at once and the process goes on without its log;
// what it could mend is waited for only up to the limit.
TEST_F(CustomLoggerTest, ALogThatCannotBeMadeIsGivenUpOnAndTheProcessGoesOn) {
  const std::string dir = sandbox.path("log");
  if (!mountTmpfs(dir, "size=64k,nr_inodes=4,mode=755")) {
    GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
  }
  sandbox.writeBuildDate();
  for (int i = 0;; ++i) {  // every inode left taken
    const std::string filler = dir + "/filler" + std::to_string(i);
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT, 0600);
    if (fd < 0) break;
    ::close(fd);
  }
  // The real waits: a wait here would hold the test for ten minutes.
  ::testing::internal::CaptureStderr();
  const std::string echoed = stdoutOf([] {
    CustomLogger::MyCustomLog("first");
    CustomLogger::MyCustomLog("second");
  });
  const std::string told = ::testing::internal::GetCapturedStderr();
  unmountTmpfs(dir);
  EXPECT_EQ(echoed, "first\nsecond\n");
  EXPECT_EQ(told, "+[CustomLogger locationPath]:cannot create " + logPath() +
                      ": No space left on device; going on without the log\n");
}

TEST_F(CustomLoggerTest, ALogDirectoryNobodyMakesIsWaitedForUpToTheLimit) {
  std::filesystem::remove_all(sandbox.path("log"));
  CustomLogger::setWaitsForTesting(CustomLogger::Waits{1000, std::chrono::microseconds(0),
                                                       std::chrono::microseconds(1'000), std::chrono::seconds(1)});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CustomLogger::locationPath(), logPath());
  EXPECT_THAT(::testing::internal::GetCapturedStderr(),
              HasSubstr(": No such file or directory; still so after 1 seconds; going on without the log\n"));
}

// A log folder that fails the rule root writes by is named once on standard
// output with what to fix; messages go on, to standard output alone, and
// nothing is written into the folder or where a link in its place points.
class UntrustedLogFolder : public CustomLoggerTest {
 protected:
  void expectNothingWrittenInto(const std::string& relative, const std::string& named) {
    const auto before = sandbox.listDir(relative);
    const std::string echoed = stdoutOf([] {
      CustomLogger::MyCustomLog("first");
      CustomLogger::MyCustomLog("second");
      CustomLogger::clearLog();
    });
    EXPECT_EQ(echoed, "first\n+[CustomLogger locationPath]:log folder not used, " + named +
                          "; going on without the log\nsecond\n");
    EXPECT_EQ(sandbox.listDir(relative), before);
  }
};

TEST_F(UntrustedLogFolder, ALinkInPlaceOfTheFolder) {
  const std::string dir = sandbox.path("log");
  fs::rename(dir, dir + ".checked");
  fs::create_directory(sandbox.path("outside"));
  fs::copy_file(dir + ".checked/build_date", sandbox.path("outside/build_date"));
  fs::create_directory_symlink(sandbox.path("outside"), dir);
  expectNothingWrittenInto("outside", dir + " is a symbolic link: replace it by the folder or file it names");
  EXPECT_FALSE(fs::exists(dir + ".checked/" + ProcessInfo::processName() + ".log"));
}

TEST_F(UntrustedLogFolder, AFolderOthersMayChange) {
  const std::string dir = sandbox.path("log");
  fs::permissions(dir, fs::perms::all);
  expectNothingWrittenInto("log", dir + " (mode 777) may be changed by users other than root: chmod go-w " + dir);
}

// Standard output, trimmed, is the result; standard error (the shell's own
// messages too) never is, so that it cannot become a value in a document. A
// quoted value reaches the command as one word, as it stands, and runs nothing.
// Output that is not UTF-8 is replaced, logged, and reading goes on.
TEST_F(ExecuteCommandTest, TheResultIsStandardOutputTrimmedInUtf8) {
  std::vector<std::pair<std::string, std::string>> cases;
  for (const auto& c : fixtureCases("platform/command-results.cases", 2)) cases.emplace_back(c[0], c[1]);
  for (const std::string value : {"", "two  words", "it's", "''", "$(echo x)", "`echo x`", "a;echo x", "a|echo x",
                                  "\\'", "$HOME *", "line\nbreak", "-n", "'$(echo x)'"}) {
    cases.emplace_back("printf '[%s]' " + shellQuoted(value), "[" + value + "]");
  }
  for (const auto& [command, result] : cases) EXPECT_EQ(ShellCommand::executeCommand(command), result) << command;
  const auto messages = loggedMessages();
  // The log doubles a backslash, so that its own escapes stand apart.
  EXPECT_THAT(messages, Contains("-[ConsolidatedAssets executeCommand:]:Executing:echo out; echo err >&2; "
                                 "printf 'tail\\\\n\\\\n'"));
  for (const char* count : {"3", "1"}) {
    EXPECT_THAT(messages, Contains(std::string("-[ReadNSPipe readAvailableDataFromFileHandle:]:Output is not UTF-8: ") +
                                   count + " ill-formed byte sequence(s) replaced by U+FFFD"));
  }
}

// The last log line says that command was killed at the 300 ms limit with its
// process group, and no process of that group still runs. Ended ones that only
// wait to be reaped do not count ("pgrep -g" would count them).
void expectKilledWithItsGroup(const std::string& command) {
  const std::string killed = "+[ShellCommand run:limit:]:no end within 300 ms: process group ";
  const std::string line = loggedMessages().back();
  ASSERT_TRUE(line.starts_with(killed) && line.ends_with(" killed:" + command)) << line;
  const std::string group = line.substr(killed.size(), line.find(' ', killed.size()) - killed.size());
  EXPECT_NE(runShell("ps -eo pgid=,stat= | awk '$1 == " + group + " && $2 !~ /^Z/' | grep -q .").exitStatus, 0);
}

// Larger than a pipe holds, output is read whole while the command runs; past
// 1 MiB it is cut, and a command that would write forever ends on the broken
// pipe. At its limit a command is killed with every process it started, even
// one that left a child holding its output; what it printed is the result.
TEST_F(ExecuteCommandTest, OutputIsBoundedInSizeAndTime) {
  const std::pair<const char*, size_t> cases[] = {
      {"head -c 1000000 /dev/zero | tr '\\0' x; echo; echo end", 1000000 + 4},
      {"head -c 3000000 /dev/zero | tr '\\0' x", 1048576},
      {"yes", 1048576 - 1},  // "y\n" over and over
  };
  for (const auto& [command, size] : cases) EXPECT_EQ(ShellCommand::executeCommand(command).size(), size) << command;
  const auto messages = loggedMessages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(),
                       "-[ReadNSPipe readAvailableDataFromFileHandle:]:Output over 1048576 bytes: cut at that size"),
            2);
  EXPECT_THAT(messages, ::testing::Not(Contains(HasSubstr("no end within"))));

  ShellCommand::setLimits(ShellCommand::Limits{std::chrono::milliseconds(300), std::chrono::milliseconds(300)});
  EXPECT_EQ(ShellCommand::executeCommand("echo early; sleep 1000 & sleep 1000"), "early");
  expectKilledWithItsGroup("echo early; sleep 1000 & sleep 1000");
}

// A command that runs without its output read back is waited for by the
// kernel's word that it ended, not by looking again and again: a wait of
// half a second costs the tool a handful of wake-ups, where looking every few
// milliseconds would cost fifty. Its status is what it ended with; one that
// another part of the process reaped (SIGCHLD ignored) ended without one; at
// its limit its whole group is killed.
TEST_F(ExecuteCommandTest, ACommandIsWaitedForUntilItEndsOrItsLimit) {
  rusage before{}, after{};
  ::getrusage(RUSAGE_SELF, &before);
  const ShellCommand::Outcome slept = ShellCommand::run("sleep 0.5", ShellCommand::Limit::Other);
  ::getrusage(RUSAGE_SELF, &after);
  EXPECT_EQ(slept.exitStatus, 0);
  EXPECT_LT(after.ru_nvcsw - before.ru_nvcsw, 10);

  EXPECT_EQ(ShellCommand::run("exit 3", ShellCommand::Limit::Other).exitStatus, 3);
  EXPECT_EQ(ShellCommand::run("kill -TERM $$", ShellCommand::Limit::Other).exitStatus, 128 + SIGTERM);
  const auto previous = ::signal(SIGCHLD, SIG_IGN);
  const ShellCommand::Outcome unreaped = ShellCommand::run("sleep 0.1", ShellCommand::Limit::Other);
  ::signal(SIGCHLD, previous);
  EXPECT_TRUE(unreaped.started && !unreaped.killed && !unreaped.exitStatus);

  ShellCommand::setLimits(ShellCommand::Limits{std::chrono::milliseconds(300), std::chrono::milliseconds(300)});
  const ShellCommand::Outcome limited = ShellCommand::run("sleep 1000 & sleep 1000", ShellCommand::Limit::Profiler);
  EXPECT_TRUE(limited.killed && !limited.exitStatus);
  expectKilledWithItsGroup("sleep 1000 & sleep 1000");
}

// A work file yields its non-empty lines, whatever its encoding (found from
// the content), each logged after the file's name; a missing one only its name.
TEST_F(ExecuteCommandTest, WorkFileYieldsItsNonEmptyLinesInAnyEncoding) {
  for (const auto& c : fixtureCases("platform/work-files.cases", 3)) {
    writeFile(sandbox.path("temp/autodelete_ps.txt"), c[1]);
    std::string lines;
    for (const std::string& line : files.getDataFromFileWithName("autodelete_ps.txt")) lines += "\n" + line;
    EXPECT_EQ(lines, "\n" + c[2]) << c[0];
  }
  EXPECT_THAT(files.getDataFromFileWithName("autodelete_gone.txt"), ::testing::IsEmpty());
  const std::string sig = "-[FileOperations getDataFromFileWithName:]:";
  const auto messages = loggedMessages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_THAT(std::vector(messages.begin(), messages.begin() + 3),
              ::testing::ElementsAre(sig + "fullFileName=" + sandbox.path("temp/autodelete_ps.txt"),
                                     sig + "  PID  %CPU COMM", sig + "  101  12.5 /usr/sbin/syslogd"));
  EXPECT_EQ(messages.back(), sig + "fullFileName=" + sandbox.path("temp/autodelete_gone.txt"));
}

// mkdir -p as root: folders are made 0755 and a link is entered only when
// root made it in a folder nobody else writes to (as /var/run -> /run); a link
// in a shared folder, or a file in the way, is refused and nothing is made
// where it points.
TEST(MakeDirectories, FollowsOnlyLinksNobodyElseCouldHaveMade) {
  BRIM_REQUIRE_ROOT();
  namespace fs = std::filesystem;
  Sandbox sandbox;
  const std::string top = sandbox.root();
  fs::create_directories(top + "/real");
  fs::create_directories(top + "/shared");
  fs::permissions(top + "/shared", fs::perms::all | fs::perms::sticky_bit);
  fs::create_directory_symlink(top + "/real", top + "/linked");
  fs::create_directory_symlink(top + "/real", top + "/shared/planted");
  writeFile(top + "/file", "");
  const std::tuple<std::string, bool, std::string> cases[] = {
      {top + "/new/a/b", true, top + "/new/a/b"},
      {top + "/linked/c/d", true, top + "/real/c/d"},
      {top + "/shared/planted/e", false, top + "/real/e"},
      {top + "/file/f", false, top + "/file/f"},
  };
  std::string why;
  for (const auto& [path, made, where] : cases) {
    EXPECT_EQ(FileSystem::makeDirectories(path, why), made) << path;
    EXPECT_EQ(fs::is_directory(where), made) << where;
    if (made) {
      EXPECT_EQ(fs::status(where).permissions() & fs::perms::all, fs::perms(0755)) << where;
    }
  }
  EXPECT_THAT(why, HasSubstr("refused " + top + "/file/f"));
  EXPECT_FALSE(FileSystem::makeDirectories(top + "/shared/planted/e", why));
  EXPECT_THAT(why, HasSubstr("\"planted\" is a link others could have made"));
}

TEST(DateTimeTest, PatternsOfTheDocumentsInTheSystemTimeZone) {
  TimeZone zone("Europe/Berlin");
  // The log's own stamp in December ("12/4/26, 9:05:03 PM") is shown by the log's tests,
  // the process store's "MM/dd/yyyy HH:mm:ss" by its rows.
  const std::map<std::string, DateTime::TimePoint> dates{
      {"december", DateTime::TimePoint(std::chrono::seconds(1796414703))},
      {"july", DateTime::TimePoint(std::chrono::seconds(1782886028))}};
  for (const auto& c : fixtureCases("platform/date-patterns.cases", 3))
    EXPECT_EQ(DateTime::dateStringOf(dates.at(c[0]), c[1]), c[2]) << c[1];
}

}  // namespace
}  // namespace brim::test
