// Whole runs of the inventory jobs, and the data-post files they leave.
#include <gmock/gmock.h>
#include <sys/mount.h>

#include <filesystem>
#include <regex>

#include "platform/DateTime.h"
#include "reports/ConsolidatedAssets.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

class AssetRun : public ::testing::Test {
 protected:
  void SetUp() override { sandbox.installRecordedMac(); }
  Sandbox sandbox;
};

// Each document is exactly the logged text: the full inventory with eighteen
// categories, the software inventory with three under the same root; each
// file is stamped on the 24-hour clock.
TEST_F(AssetRun, EachRunWritesTheLoggedDocument) {
  BRIM_REQUIRE_ROOT();
  const AfternoonTimeZone afternoon;
  const struct {
    std::vector<std::string> args;
    const char *file, *logged, *afterDocument;
    int categories;
  } runs[] = {
      {{}, "wpmacasstinfo", "-[ConsolidatedAssets collectData]:assetString=", "\n\n", 18},
      {{"-software"}, "wpmacasstswinfo", "-[ConsolidatedAssets collectSWData]:assetString=", "\n", 3},
  };
  const std::regex category("<fn[/>]");
  for (const auto& run : runs) {
    const RunResult result = sandbox.runExpecting(0, run.args);
    const std::string document = sandbox.takeDataPostFile(run.file);
    EXPECT_THAT(result.output, HasSubstr(run.logged + document + run.afterDocument));
    EXPECT_EQ(std::distance(std::sregex_iterator(document.begin(), document.end(), category), std::sregex_iterator()),
              run.categories);
    EXPECT_EQ(result.output.find("int main(int, const char **):software asset saved") != std::string::npos,
              !run.args.empty());
  }
  // The model's log directories, from the hardware profile's machine name.
  const std::string month = DateTime::dateStringOf(DateTime::now(), "MMyyyy");
  EXPECT_EQ(sandbox.listDir("data/MacBook Pro/" + month), std::vector<std::string>({"GPM", "PRS"}));
  EXPECT_TRUE(sandbox.listDir("temp").empty());  // profiler output removed with the run's folder
}

// The run lock lets one run in at a time; each writes its own file.
TEST_F(AssetRun, SixRunsStartedTogetherEachWriteAWholeDocument) {
  BRIM_REQUIRE_ROOT();
  inChildProcesses(6, [&](int) { EXPECT_EQ(sandbox.run({}).exitStatus, 0); });
  const auto files = sandbox.listDir("datapost");
  ASSERT_EQ(files.size(), 6u);
  for (const auto& file : files) {
    expectStampedNow(file, "wpmacasstinfo");
    expectCheckedOK(sandbox.path("datapost/" + file));
  }
  EXPECT_TRUE(sandbox.listDir("temp").empty());
}

// A run killed while it collects leaves no file in the data-post folder; the
// folder of its temporary files goes with the first run an hour later.
TEST_F(AssetRun, AKilledRunLeavesNothingForTheUploader) {
  BRIM_REQUIRE_ROOT();
  const std::string replay = sandbox.fakeBinDir() + "/system_profiler";
  fs::rename(replay, sandbox.fakeBinDir() + "/replay_profiler");
  // The last category's profiler run kills the tool that started it.
  sandbox.writeExecutable(replay,
                          "#!/bin/sh\n"
                          "if [ \"$1\" = SPNetworkLocationDataType ]; then\n"
                          "  p=$PPID\n"
                          "  while [ \"$p\" -gt 1 ] && [ \"$(cat /proc/$p/comm)\" != brim_asset_sand ]; do\n"
                          "    p=$(cut -d' ' -f4 /proc/$p/stat)\n"
                          "  done\n"
                          "  kill -9 $p; exit 0\n"
                          "fi\n"
                          "exec '" +
                              sandbox.fakeBinDir() + "/replay_profiler' \"$@\"\n");
  EXPECT_NE(sandbox.run({}).exitStatus, 0);
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
  const auto left = sandbox.listDir("temp");
  ASSERT_EQ(left.size(), 1u);

  // Its lock would hold the next run for a minute: that is the lock wait's own case.
  fs::remove(sandbox.path("bin/brim_asset.lock"));
  fs::last_write_time(sandbox.path("temp/" + left[0]), fs::file_time_type::clock::now() - std::chrono::minutes(61));
  fs::rename(sandbox.fakeBinDir() + "/replay_profiler", replay);
  EXPECT_EQ(sandbox.run({}).exitStatus, 0);
  EXPECT_TRUE(sandbox.listDir("temp").empty());
  sandbox.takeDataPostFile("wpmacasstinfo");
}

TEST_F(AssetRun, AProfilerThatPrintsGarbageStillGivesBothDocumentsButNoLogDirectories) {
  BRIM_REQUIRE_ROOT();
  sandbox.writeExecutable(sandbox.fakeBinDir() + "/system_profiler", "#!/bin/sh\necho 'not a property list <'\n");
  // Each category is reduced to its name (locations to "fn" alone): no record is left.
  EXPECT_EQ(sandbox.run({}).exitStatus, 0);
  EXPECT_THAT(sandbox.takeDataPostFile("wpmacasstinfo"), Not(HasSubstr("<dtl")));
  EXPECT_EQ(sandbox.run({"-software"}).exitStatus, 0);
  EXPECT_THAT(sandbox.takeDataPostFile("wpmacasstswinfo"), Not(HasSubstr("<dtl")));
  EXPECT_TRUE(sandbox.listDir("data").empty());
}

// The log directories are named after the first hardware item's machine name,
// "(null)" without one. (A profile without items gives none: the garbage run.)
TEST_F(AssetRun, AnItemWithoutMachineNameGivesNullLogDirectories) {
  BRIM_REQUIRE_ROOT();
  writeFile(sandbox.root() + "/profiles/SPHardwareDataType.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><array><dict><key>_dataType</key>"
            "<string>SPHardwareDataType</string><key>_items</key><array><dict><key>cpu_type</key><string>x</string>"
            "</dict></array></dict></array></plist>");
  sandbox.replayProfilerFrom(sandbox.root() + "/profiles");
  EXPECT_EQ(sandbox.run({"-software"}).exitStatus, 0);
  const std::string month = DateTime::dateStringOf(DateTime::now(), "MMyyyy");
  EXPECT_EQ(sandbox.listDir("data/(null)/" + month), std::vector<std::string>({"GPM", "PRS"}));
}

TEST_F(AssetRun, ADataPostFolderMissingReadOnlyOrFullFailsTheJobAndLeavesNothing) {
  BRIM_REQUIRE_ROOT();
  fs::remove_all(sandbox.path("datapost"));
  EXPECT_EQ(sandbox.run({}).exitStatus, 255);
  EXPECT_FALSE(fs::exists(sandbox.path("datapost")));

  // A data-post "directory" that is a file cannot take one either.
  writeFile(sandbox.path("datapost"), "");
  const RunResult result = sandbox.run({"-software"});
  EXPECT_EQ(result.exitStatus, 255);
  EXPECT_THAT(result.output, Not(HasSubstr("software asset saved into file")));
  EXPECT_TRUE(fs::is_regular_file(sandbox.path("datapost")));
  EXPECT_FALSE(fs::exists(sandbox.path("bin/brim_asset.lock")));

  // Nor can a read-only or a full file system (root writes past mode bits, not past these).
  fs::remove(sandbox.path("datapost"));
  fs::create_directory(sandbox.path("datapost"));
  const std::string datapost = sandbox.path("datapost");
  for (const auto& [flags, options] : {std::pair<unsigned long, const char*>{MS_RDONLY, "size=1m"}, {0, "size=8k"}}) {
    if (::mount("tmpfs", datapost.c_str(), "tmpfs", flags, options) != 0) GTEST_SKIP() << "cannot mount a tmpfs";
    const RunResult full = sandbox.run({"-software"});
    EXPECT_EQ(full.exitStatus, 255) << options;
    EXPECT_TRUE(sandbox.listDir("datapost").empty()) << options;
    EXPECT_EQ(::umount(datapost.c_str()), 0);
  }
}

// In process: a write without a document fails. A file of the same name is never
// replaced: the second write waits for the next second and takes its stamp.
TEST(Orchestrator, AWriteWithoutADocumentFailsAndTwoInOneSecondKeepBoth) {
  Sandbox sandbox;
  sandbox.installRecordedMac();
  SandboxInProcess inProcess(sandbox);
  ConsolidatedAssets assets;
  EXPECT_FALSE(assets.writeDataForDataPost());
  EXPECT_FALSE(assets.WriteProcDataforDatapost());
  const std::string documents[] = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wpmacasstinfo>first</wpmacasstinfo>",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wpmacasstinfo>caf\xC3\xA9</wpmacasstinfo>"};
  for (const std::string& document : documents) {
    assets.assetString1 = document;
    ASSERT_TRUE(assets.writeDataForDataPost());
  }
  const auto files = sandbox.listDir("datapost");
  ASSERT_EQ(files.size(), 2u);  // and no temporary file beside them
  EXPECT_LT(files[0], files[1]);
  EXPECT_EQ(readFile(sandbox.path("datapost/" + files[0])), documents[0]);
  EXPECT_EQ(readFile(sandbox.path("datapost/" + files[1])), documents[1]);
}

}  // namespace
}  // namespace brim::test
