#include "platform/FileOperations.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/CustomLogger.h"
#include "support/Sandbox.h"
#include "support/SandboxRoot.h"

namespace brim::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FileOperationsTest : public ::testing::Test {
 protected:
  FileOperationsTest() {
    sandbox.writeBuildDate();
    files.dataStorageDir = sandbox.path("temp");
  }
  Sandbox sandbox;
  SandboxRoot root{sandbox};
  FileOperations files;
};

TEST_F(FileOperationsTest, WorkFileYieldsItsNonEmptyLinesEachLoggedAMissingOneNothing) {
  writeFile(sandbox.path("temp/autodelete_ps.txt"),
            "  PID  %CPU COMM\n\n  101  12.5 /usr/sbin/syslogd\n\n\n  202   3.0 /Applications/Safari.app\n");
  EXPECT_THAT(files.getDataFromFileWithName("autodelete_ps.txt"),
              ElementsAre("  PID  %CPU COMM", "  101  12.5 /usr/sbin/syslogd", "  202   3.0 /Applications/Safari.app"));
  // A missing file: its name logged, nothing else.
  EXPECT_THAT(files.getDataFromFileWithName("autodelete_gone.txt"), IsEmpty());
  const std::string sig = "-[FileOperations getDataFromFileWithName:]:";
  EXPECT_THAT(loggedMessages(),
              ElementsAre(sig + "fullFileName=" + sandbox.path("temp/autodelete_ps.txt"), sig + "  PID  %CPU COMM",
                          sig + "  101  12.5 /usr/sbin/syslogd", sig + "  202   3.0 /Applications/Safari.app",
                          sig + "fullFileName=" + sandbox.path("temp/autodelete_gone.txt")));
}

TEST_F(FileOperationsTest, EncodingIsDetectedFromTheContent) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"UTF-8", "Caf\xC3\xA9\n\xE2\x82\xAC 5\n", {"Caf\xC3\xA9", "\xE2\x82\xAC 5"}},
      {"UTF-8 with byte-order mark",
       "\xEF\xBB\xBF"
       "one\ntwo",
       {"one", "two"}},
      {"Latin-1", "Caf\xE9\nna\xEFve\n", {"Caf\xC3\xA9", "na\xC3\xAFve"}},
      {"UTF-16 with byte-order mark",
       std::string("\xFF\xFEh\0\n\0\n\0\x3D\xD8\x00\xDE", 12),
       {"h", "\xF0\x9F\x98\x80"}},
  };
  for (const Case& c : cases) {
    writeFile(sandbox.path("temp/work.txt"), c.bytes);
    EXPECT_EQ(files.getDataFromFileWithName("work.txt"), c.lines) << c.what;
  }
}

}  // namespace
}  // namespace brim::test
