#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "app/CustomLogger.h"
#include "app/ReadNSPipe.h"
#include "platform/ProcessInfo.h"
#include "reports/ConsolidatedAssets.h"
#include "support/Sandbox.h"
#include "support/SandboxRoot.h"

namespace brim::test {
namespace {

using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;

class ExecuteCommandTest : public ::testing::Test {
 protected:
  ExecuteCommandTest() {
    sandbox.writeBuildDate();
    sandbox.writeSettings(4711);
  }
  Sandbox sandbox;
  SandboxRoot root{sandbox};
};

TEST_F(ExecuteCommandTest, OutputAndErrorArriveInOneTextInTheOrderWritten) {
  ConsolidatedAssets assets;
  EXPECT_EQ(assets.executeCommand("echo out; echo err >&2; printf 'tail\\n\\n'"), "out\nerr\ntail");
  EXPECT_THAT(loggedMessages(), Contains("-[ConsolidatedAssets executeCommand:]:Executing:echo out; echo err >&2; "
                                         "printf 'tail\\n\\n'"));
}

TEST_F(ExecuteCommandTest, WhatTheShellSaysIsTheResult) {
  ConsolidatedAssets assets;
  EXPECT_EQ(assets.executeCommand("printf '\\n  \\n\\t\\r\\n'"), "");
  EXPECT_EQ(assets.executeCommand("exit 3"), "");
  // A command that reads its input sees the end at once instead of waiting.
  EXPECT_EQ(assets.executeCommand("cat; echo read"), "read");
  const std::string missing = assets.executeCommand("brim_no_such_command -x");
  EXPECT_THAT(missing, HasSubstr("brim_no_such_command"));
  EXPECT_THAT(missing, HasSubstr("not found"));
}

TEST_F(ExecuteCommandTest, OutputLargerThanThePipeStillEnds) {
  ConsolidatedAssets assets;
  const std::string text = assets.executeCommand("head -c 1000000 /dev/zero | tr '\\0' x; echo; echo end >&2");
  ASSERT_EQ(text.size(), 1000000u + 4u);
  EXPECT_EQ(std::count(text.begin(), text.end(), 'x'), 1000000);
  EXPECT_THAT(text, EndsWith("x\nend"));
}

TEST_F(ExecuteCommandTest, OutputThatIsNotUtf8IsReplacedAndReadingGoesOn) {
  ConsolidatedAssets assets;
  // A two-byte character written in two pieces is one character.
  EXPECT_EQ(assets.executeCommand("printf 'caf\\303'; sleep 0.1; printf '\\251'"), "caf\xC3\xA9");
  EXPECT_EQ(assets.executeCommand("printf 'a\\377b\\300\\257c'; echo; echo next"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\xEF\xBF\xBD"
            "c\nnext");
  // Cut off inside a three-byte character at the very end.
  EXPECT_EQ(assets.executeCommand("printf 'euro \\342\\202'"), "euro \xEF\xBF\xBD");
  EXPECT_THAT(loggedMessages(), Contains("-[ReadNSPipe readAvailableDataFromFileHandle:]:Output is not UTF-8: "
                                         "3 ill-formed byte sequence(s) replaced by U+FFFD"));
  EXPECT_THAT(loggedMessages(), Contains("-[ReadNSPipe readAvailableDataFromFileHandle:]:Output is not UTF-8: "
                                         "1 ill-formed byte sequence(s) replaced by U+FFFD"));
}

TEST_F(ExecuteCommandTest, ReadErrorEndsTheReadingWithWhatWasRead) {
  ReadNSPipe reader;
  EXPECT_EQ(ReadNSPipe::availableDataOrError(-1), std::nullopt);
  EXPECT_EQ(reader.readAvailableDataFromFileHandle(-1), "");
  EXPECT_EQ(reader.outputString, "");
  EXPECT_THAT(loggedMessages(), Contains("+[ReadNSPipe availableDataOrError:]:Exception:read: Bad file descriptor"));
}

// True once the thread is blocked in read(2).
bool blockedInRead(pid_t thread) {
  std::ifstream syscall("/proc/self/task/" + std::to_string(thread) + "/syscall");
  long number = -1;
  return (syscall >> number) && number == SYS_read;
}

TEST_F(ExecuteCommandTest, ReadInterruptedBySignalIsLoggedAndRetried) {
  struct sigaction interrupt {};
  interrupt.sa_handler = [](int) {};
  sigemptyset(&interrupt.sa_mask);
  interrupt.sa_flags = 0;  // no restart: the read fails with EINTR
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGUSR1, &interrupt, &previous), 0);

  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const pid_t readerThread = static_cast<pid_t>(::syscall(SYS_gettid));
  const pthread_t reader = ::pthread_self();
  const std::string interrupted = "+[ReadNSPipe availableDataOrError:]:Exception:read: Interrupted system call";
  std::thread writer([&] {
    // Each step is waited for, never timed: in read, interrupted and logged, in read again.
    while (!blockedInRead(readerThread)) std::this_thread::yield();
    ::pthread_kill(reader, SIGUSR1);
    for (int spins = 0; spins < 100000; ++spins) {
      if (readFile(sandbox.path("log/" + ProcessInfo::processName() + ".log")).find(interrupted) != std::string::npos)
        break;
      std::this_thread::yield();
    }
    while (!blockedInRead(readerThread)) std::this_thread::yield();
    (void)!::write(ends[1], "done", 4);
    ::close(ends[1]);
  });
  ReadNSPipe pipeReader;
  const std::string text = pipeReader.readAvailableDataFromFileHandle(ends[0]);
  writer.join();
  ::close(ends[0]);
  ::sigaction(SIGUSR1, &previous, nullptr);

  EXPECT_EQ(text, "done");
  const std::vector<std::string> logged = loggedMessages();
  EXPECT_EQ(std::count(logged.begin(), logged.end(), interrupted), 1);
}

}  // namespace
}  // namespace brim::test
