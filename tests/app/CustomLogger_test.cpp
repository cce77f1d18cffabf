#include "platform/CustomLogger.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <thread>

#include "platform/DateTime.h"
#include "platform/DistributedNotification.h"
#include "platform/ProcessInfo.h"
#include "support/Sandbox.h"
#include "support/SandboxRoot.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;

// 4 December 2026, 21:05:03 in New York.
DateTime::TimePoint decemberEvening() { return DateTime::TimePoint(std::chrono::seconds(1796436303)); }

class CustomLoggerTest : public ::testing::Test {
 protected:
  ~CustomLoggerTest() override {
    CustomLogger::setWaitsForTesting(std::nullopt);
    DateTime::setNowForTesting(std::nullopt);
  }
  std::string logPath() const { return sandbox.path("log/" + ProcessInfo::processName() + ".log"); }
  std::string lockPath() const { return logPath() + ".lock"; }
  std::string logText() const { return readFile(logPath()); }

  Sandbox sandbox;
  SandboxRoot root{sandbox};
  TimeZone zone{"America/New_York"};
};

// The build-date file decides: without it messages go bare to the fallback
// log; with it a new log starts with the build date (text that is not UTF-8
// reads as not configured), and messages are kept as written, each stamped.
TEST_F(CustomLoggerTest, TheBuildDateDecidesTheLogAndItsHeader) {
  DateTime::setNowForTesting(decemberEvening());
  ::testing::internal::CaptureStdout();
  CustomLogger::MyCustomLog("no build date yet");
  EXPECT_FALSE(std::filesystem::exists(logPath()));
  sandbox.writeBuildDate("2026-12-05 build 4711\n");
  logAt(Sig::instance("Probe", "run"), "first\n\nsecond");
  DateTime::setNowForTesting(decemberEvening() + std::chrono::hours(3) + std::chrono::seconds(4));
  CustomLogger::MyCustomLog("third");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "no build date yet\n-[Probe run]:first\n\nsecond\nthird\n");
  EXPECT_EQ(readFile(sandbox.root() + "/tmp/brimvault_NOLOG.log"), "no build date yet\n");
  EXPECT_EQ(logText(),
            "Build Date\n-----------\n2026-12-05 build 4711\n\n---------------------------------\n\n"
            "12/4/26, 9:05:03 PM -[Probe run]:first\n\nsecond\n"
            "12/5/26, 12:05:07 AM third\n");
  CustomLogger::clearLog();
  EXPECT_EQ(logText(), "");
  EXPECT_TRUE(CustomLogger::getLogArray().empty());

  std::filesystem::remove(logPath());
  sandbox.writeBuildDate("built \xff\xfe\n");
  CustomLogger::log("x");
  EXPECT_THAT(logText(), ::testing::StartsWith("Build Date\n-----------\nbuild date not configured\n-----"));
}

// A line over 4 MiB is cut between two characters, and says how much is missing.
TEST_F(CustomLoggerTest, ALineOverFourMiBIsCutWithAMarker) {
  sandbox.writeBuildDate();
  std::string message;
  for (int i = 0; i < 2'500'000; ++i) message += "\xC3\xA9";  // two bytes each
  ::testing::internal::CaptureStdout();
  CustomLogger::MyCustomLog(message);
  const std::string echoed = ::testing::internal::GetCapturedStdout();
  const size_t kept = echoed.rfind(" [line cut: ");
  ASSERT_NE(kept, std::string::npos);
  size_t leftOut = 0;
  ASSERT_EQ(std::sscanf(echoed.c_str() + kept, " [line cut: %zu more bytes left out]\n", &leftOut), 1);
  EXPECT_TRUE(kept % 2 == 0 && echoed.compare(0, kept, message, 0, kept) == 0 && kept + leftOut == message.size());
  EXPECT_LE(echoed.size() - 1, size_t{4} << 20);
  EXPECT_TRUE(CustomLogger::getLogArray().back().ends_with(" " + echoed.substr(0, echoed.size() - 1)));
}

// A lock file left by a writer that died is waited for, then taken over and
// removed, so only the message that found it waits.
TEST_F(CustomLoggerTest, StaleLockFileIsTakenOverAfterItsWaits) {
  sandbox.writeBuildDate();
  CustomLogger::log("before");
  writeFile(lockPath(), "");
  CustomLogger::setWaitsForTesting(CustomLogger::Waits{5, std::chrono::microseconds(0)});
  ::testing::internal::CaptureStdout();
  CustomLogger::MyCustomLog("after a dead writer");
  const std::string wait = "Waiting for lock file to be removed\n";
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "after a dead writer\n" + wait + wait + wait + wait + wait);
  EXPECT_FALSE(std::filesystem::exists(lockPath()));
  EXPECT_THAT(logText(), HasSubstr(" after a dead writer\n"));
}

TEST_F(CustomLoggerTest, TwoProcessesLoggingAtOnceLoseNoLineAndSplitNone) {
  sandbox.writeBuildDate();
  CustomLogger::log("parent");
  // Longer than a stdio buffer, so a line written in pieces would show.
  const std::string payload(6000, 'p');
  constexpr int kLines = 500;
  // Real waits would only make the test slow: what is tested is the file.
  CustomLogger::setWaitsForTesting(CustomLogger::Waits{1000, std::chrono::microseconds(200)});

  std::vector<pid_t> children;
  for (const char* writer : {"A", "B"}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const int devNull = ::open("/dev/null", O_WRONLY);
      ::dup2(devNull, STDOUT_FILENO);
      for (int i = 0; i < kLines; ++i)
        CustomLogger::MyCustomLog(std::string(writer) + " " + std::to_string(i) + " " + payload);
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

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

std::filesystem::perms permissionsOf(const std::string& path) { return std::filesystem::status(path).permissions(); }

// The process name decides the log; the test takes the two names in turn.
TEST_F(CustomLoggerTest, LogsOfTheCommunicatorAndHelpdeskAreOpenToEveryone) {
  sandbox.writeBuildDate();
  char* const ownName = program_invocation_short_name;
  for (const char* name : {"brim_communicatorapp", "brim_Helpdeskapp"}) {
    program_invocation_short_name = const_cast<char*>(name);
    const std::string path = sandbox.path("log/" + std::string(name) + ".log");
    CustomLogger::log("created");
    EXPECT_EQ(permissionsOf(path), std::filesystem::perms::all) << name;
    ::chmod(path.c_str(), 0600);
    CustomLogger::log("appended");
    EXPECT_EQ(permissionsOf(path), std::filesystem::perms::all) << name;
  }
  program_invocation_short_name = ownName;
  CustomLogger::log("mine");
  EXPECT_NE(permissionsOf(logPath()), std::filesystem::perms::all);
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
  EXPECT_EQ(logText(), "Build Date\n-----------\nbuild date not configured\n---------------------------------\n\n");
}

}  // namespace
}  // namespace brim::test
