#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "app/CustomLogger.h"
#include "app/ReadNSPipe.h"
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

}  // namespace
}  // namespace brim::test
