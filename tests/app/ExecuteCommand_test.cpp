#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/CustomLogger.h"
#include "platform/ReadNSPipe.h"
#include "platform/ShellCommand.h"
#include "support/Sandbox.h"
#include "support/SandboxRoot.h"

namespace brim::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

class ExecuteCommandTest : public ::testing::Test {
 protected:
  ExecuteCommandTest() {
    sandbox.writeBuildDate();
    sandbox.writeSettings(4711);
  }
  ~ExecuteCommandTest() override { ShellCommand::setLimits(std::nullopt); }
  Sandbox sandbox;
  SandboxRoot root{sandbox};
};

// Standard output, trimmed, is the result; standard error (the shell's own
// messages too) never is, so that it cannot become a value in a document. A
// quoted value reaches the command as one word, as it stands, and runs nothing.
TEST_F(ExecuteCommandTest, TheResultIsStandardOutputTrimmed) {
  std::vector<std::pair<std::string, std::string>> cases = {
      {"echo out; echo err >&2; printf 'tail\\n\\n'", "out\ntail"},
      {"printf '\\n  \\n\\t\\r\\n'", ""},
      {"exit 3", ""},
      {"cat; echo read", "read"},  // a command that reads its input sees the end at once
      {"brim_no_such_command -x", ""},
  };
  for (const std::string value : {"", "two  words", "it's", "''", "$(echo x)", "`echo x`", "a;echo x", "a|echo x",
                                  "\\'", "$HOME *", "line\nbreak", "-n", "'$(echo x)'"}) {
    cases.emplace_back("printf '[%s]' " + shellQuoted(value), "[" + value + "]");
  }
  for (const auto& [command, result] : cases) EXPECT_EQ(ShellCommand::executeCommand(command), result) << command;
  EXPECT_EQ(shellQuoted("it's"), "'it'\\''s'");
  EXPECT_THAT(loggedMessages(), Contains("-[ConsolidatedAssets executeCommand:]:Executing:echo out; echo err >&2; "
                                         "printf 'tail\\n\\n'"));
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
  EXPECT_THAT(messages, Not(Contains(HasSubstr("no end within"))));

  ShellCommand::setLimits(ShellCommand::Limits{std::chrono::milliseconds(300), std::chrono::milliseconds(300)});
  EXPECT_EQ(ShellCommand::executeCommand("echo early; sleep 1000 & sleep 1000"), "early");
  const std::string killed = "+[ShellCommand run:limit:]:no end within 300 ms: process group ";
  const std::string line = loggedMessages().back();
  ASSERT_TRUE(line.starts_with(killed) && line.ends_with(" killed:echo early; sleep 1000 & sleep 1000")) << line;
  EXPECT_FALSE(processGroupRunning(std::stol(line.substr(killed.size()))));
}

TEST_F(ExecuteCommandTest, OutputThatIsNotUtf8IsReplacedAndReadingGoesOn) {
  // A two-byte character written in two pieces is one character.
  EXPECT_EQ(ShellCommand::executeCommand("printf 'caf\\303'; sleep 0.1; printf '\\251'"), "caf\xC3\xA9");
  EXPECT_EQ(ShellCommand::executeCommand("printf 'a\\377b\\300\\257c'; echo; echo next"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\xEF\xBF\xBD"
            "c\nnext");
  // Cut off inside a three-byte character at the very end.
  EXPECT_EQ(ShellCommand::executeCommand("printf 'euro \\342\\202'"), "euro \xEF\xBF\xBD");
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

}  // namespace
}  // namespace brim::test
