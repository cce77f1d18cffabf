// The shell command runner and what reads its work files and stamps its
// documents: commands, their output, work files and dates.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "platform/CustomLogger.h"
#include "platform/DateTime.h"
#include "platform/FileOperations.h"
#include "platform/ShellCommand.h"
#include "support/Sandbox.h"
#include "support/SandboxRoot.h"

namespace brim::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class ExecuteCommandTest : public ::testing::Test {
 protected:
  ExecuteCommandTest() {
    sandbox.writeBuildDate();
    files.dataStorageDir = sandbox.path("temp");
  }
  ~ExecuteCommandTest() override { ShellCommand::setLimits(std::nullopt); }
  Sandbox sandbox;
  SandboxRoot root{sandbox};
  FileOperations files;
};

// Standard output, trimmed, is the result; standard error (the shell's own
// messages too) never is, so that it cannot become a value in a document. A
// quoted value reaches the command as one word, as it stands, and runs nothing.
// Output that is not UTF-8 is replaced, logged, and reading goes on.
TEST_F(ExecuteCommandTest, TheResultIsStandardOutputTrimmedInUtf8) {
  std::vector<std::pair<std::string, std::string>> cases = {
      {"echo out; echo err >&2; printf 'tail\\n\\n'", "out\ntail"},
      {"printf '\\n  \\n\\t\\r\\n'", ""},
      {"exit 3", ""},
      {"cat; echo read", "read"},  // a command that reads its input sees the end at once
      {"brim_no_such_command -x", ""},
      // A two-byte character written in two pieces is one character.
      {"printf 'caf\\303'; sleep 0.1; printf '\\251'", "caf\u00E9"},
      {"printf 'a\\377b\\300\\257c'; echo; echo next", "a\uFFFDb\uFFFD\uFFFDc\nnext"},
      // Cut off inside a three-byte character at the very end.
      {"printf 'euro \\342\\202'", "euro \uFFFD"},
  };
  for (const std::string value : {"", "two  words", "it's", "''", "$(echo x)", "`echo x`", "a;echo x", "a|echo x",
                                  "\\'", "$HOME *", "line\nbreak", "-n", "'$(echo x)'"}) {
    cases.emplace_back("printf '[%s]' " + shellQuoted(value), "[" + value + "]");
  }
  for (const auto& [command, result] : cases) EXPECT_EQ(ShellCommand::executeCommand(command), result) << command;
  const auto messages = loggedMessages();
  EXPECT_THAT(messages, Contains("-[ConsolidatedAssets executeCommand:]:Executing:echo out; echo err >&2; "
                                 "printf 'tail\\n\\n'"));
  for (const char* count : {"3", "1"}) {
    EXPECT_THAT(messages, Contains(std::string("-[ReadNSPipe readAvailableDataFromFileHandle:]:Output is not UTF-8: ") +
                                   count + " ill-formed byte sequence(s) replaced by U+FFFD"));
  }
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

// A work file yields its non-empty lines, whatever its encoding (found from
// the content), each logged after the file's name; a missing one only its name.
TEST_F(ExecuteCommandTest, WorkFileYieldsItsNonEmptyLinesInAnyEncoding) {
  const std::tuple<const char*, std::string, std::vector<std::string>> cases[] = {
      {"blank lines",
       "  PID  %CPU COMM\n\n  101  12.5 /usr/sbin/syslogd\n\n\n",
       {"  PID  %CPU COMM", "  101  12.5 /usr/sbin/syslogd"}},
      {"UTF-8", "Caf\xC3\xA9\n\xE2\x82\xAC 5\n", {"Caf\xC3\xA9", "\xE2\x82\xAC 5"}},
      {"UTF-8 with byte-order mark", "\xEF\xBB\xBFone\ntwo", {"one", "two"}},
      {"Latin-1", "Caf\xE9\nna\xEFve\n", {"Caf\xC3\xA9", "na\xC3\xAFve"}},
      {"UTF-16 with byte-order mark",
       std::string("\xFF\xFEh\0\n\0\n\0\x3D\xD8\x00\xDE", 12),
       {"h", "\xF0\x9F\x98\x80"}},
  };
  for (const auto& [what, bytes, lines] : cases) {
    writeFile(sandbox.path("temp/autodelete_ps.txt"), bytes);
    EXPECT_EQ(files.getDataFromFileWithName("autodelete_ps.txt"), lines) << what;
  }
  EXPECT_THAT(files.getDataFromFileWithName("autodelete_gone.txt"), IsEmpty());
  const std::string sig = "-[FileOperations getDataFromFileWithName:]:";
  const auto messages = loggedMessages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_THAT(std::vector(messages.begin(), messages.begin() + 3),
              ElementsAre(sig + "fullFileName=" + sandbox.path("temp/autodelete_ps.txt"), sig + "  PID  %CPU COMM",
                          sig + "  101  12.5 /usr/sbin/syslogd"));
  EXPECT_EQ(messages.back(), sig + "fullFileName=" + sandbox.path("temp/autodelete_gone.txt"));
}

// 4 December 2026, 20:05:03 UTC: 21:05:03 in Berlin.
constexpr DateTime::TimePoint kDecember{std::chrono::seconds(1796414703)};
// 1 July 2026, 06:07:08 UTC: 08:07:08 in Berlin, summer time.
constexpr DateTime::TimePoint kJuly{std::chrono::seconds(1782886028)};

TEST(DateTimeTest, PatternsOfTheDocumentsInTheSystemTimeZone) {
  TimeZone zone("Europe/Berlin");
  // The log's own stamp in December ("12/4/26, 9:05:03 PM") is shown by the log's tests.
  const std::tuple<DateTime::TimePoint, const char*, const char*> cases[] = {
      {kDecember, "MM-dd-yyyy HH:mm:ss", "12-04-2026 21:05:03"},
      {kDecember, "MM/dd/yyyy HH:mm:ss", "12/04/2026 21:05:03"},
      {kDecember, "yyyyMMddHHmmss", "20261204210503"},
      {kDecember, "yyyyMMdd", "20261204"},
      {kDecember, "MMyyyy", "122026"},
      {kJuly, "MM-dd-yyyy HH:mm:ss", "07-01-2026 08:07:08"},
      {kJuly, "M/d/yy, h:mm:ss a", "7/1/26, 8:07:08 AM"},
      {kDecember, "'day' dd 'at' HH 'o''clock'", "day 04 at 21 o'clock"},
  };
  for (const auto& [date, pattern, expected] : cases)
    EXPECT_EQ(DateTime::dateStringOf(date, pattern), expected) << pattern;
}

}  // namespace
}  // namespace brim::test
