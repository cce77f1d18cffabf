// Whole runs of the inventory jobs, and the data-post files they leave.
#include <gmock/gmock.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "inventory/InventoryCategories.h"
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

// A text as one log line shows it: backslashes doubled, line breaks escaped.
std::string asLogged(const std::string& text) {
  std::string line;
  for (const char c : text) line += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : std::string(1, c);
  return line;
}

// Each document is exactly the logged text, read back from its one line (the
// hardware one is logged with a line break after it): each inventory with
// every category of its list under the same root; each file is stamped on the
// 24-hour clock. A run asks the profiler for each data type once, however many
// of its readers need it (the start-up's hardware profile, then each category:
// the two power categories, the three Bluetooth ones); each later reader says
// that it reuses the report.
TEST_F(AssetRun, EachRunWritesTheLoggedDocumentAskingTheProfilerOnceForEachDataType) {
  BRIM_REQUIRE_ROOT();
  const AfternoonTimeZone afternoon;
  const struct {
    std::vector<std::string> args;
    const char *file, *logged, *afterDocument;
    Document categories;
  } runs[] = {
      {{}, "wpmacasstinfo", "-[ConsolidatedAssets collectData]:assetString=", "\\n\n", Document::Hardware},
      {{"-software"}, "wpmacasstswinfo", "-[ConsolidatedAssets collectSWData]:assetString=", "\n", Document::Software},
  };
  const std::string calls = sandbox.root() + "/profiler-calls";
  const std::regex category("<fn[/>]");
  const std::regex reused("\\]:system_profiler SP[A-Za-z]+DataType: reusing the report read earlier in this run\n");
  for (const auto& run : runs) {
    std::set<std::string> dataTypes{"SPHardwareDataType"};
    for (const CategoryView& view : categoriesOf(run.categories)) dataTypes.emplace(view.dataType);
    fs::remove(calls);
    const RunResult result = sandbox.runExpecting(0, run.args);
    const std::string document = sandbox.takeDataPostFile(run.file);
    EXPECT_THAT(readFile(sandbox.path("log/brim_asset_sandbox.log")),
                HasSubstr(run.logged + asLogged(document) + run.afterDocument));
    EXPECT_EQ(occurrences(document, category), std::ssize(categoriesOf(run.categories)));
    EXPECT_EQ(result.output.find("int main(int, const char **):software asset saved") != std::string::npos,
              !run.args.empty());
    std::map<std::string, int> perDataType;
    std::istringstream lines(readFile(calls));
    for (std::string line; std::getline(lines, line);) ++perDataType[line];
    EXPECT_EQ(perDataType.size(), dataTypes.size());
    for (const auto& [call, count] : perDataType) EXPECT_EQ(count, 1) << call;
    EXPECT_EQ(occurrences(result.output, reused), std::ssize(categoriesOf(run.categories)) + 1 - std::ssize(dataTypes));
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
  sandbox.wrapProfiler("reports/killing_profiler.sh");
  EXPECT_NE(sandbox.run({}).exitStatus, 0);
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
  const auto left = sandbox.listDir("temp");
  ASSERT_EQ(left.size(), 1u);

  // Its lock would hold the next run for a minute: that is the lock wait's own case.
  fs::remove(sandbox.path("bin/brim_asset.lock"));
  fs::last_write_time(sandbox.path("temp/" + left[0]), fs::file_time_type::clock::now() - std::chrono::minutes(61));
  sandbox.replayProfilerFrom(testData("mac-a"));
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
// "(null)" without one (a profile without items gives none: the garbage run),
// and whatever the profiler says, that name is one folder of the data folder.
TEST_F(AssetRun, TheMachineNameIsOneFolderOfTheDataFolder) {
  BRIM_REQUIRE_ROOT();
  sandbox.replayProfilerFrom(sandbox.root() + "/profiles");
  const std::string month = DateTime::dateStringOf(DateTime::now(), "MMyyyy");
  for (const auto& c : fixtureCases("reports/machine-name-folders.cases", 2)) {
    const std::string &item = c[0], &folder = c[1];
    writeFile(sandbox.root() + "/profiles/SPHardwareDataType.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><array><dict><key>_dataType</key>"
              "<string>SPHardwareDataType</string><key>_items</key><array><dict><key>cpu_type</key><string>x</string>" +
                  item + "</dict></array></dict></array></plist>");
    EXPECT_EQ(sandbox.run({"-PerfCollect"}).exitStatus, 0);
    EXPECT_EQ(sandbox.listDir("data/" + folder + "/" + month), std::vector<std::string>({"GPM", "PRS"})) << folder;
    fs::remove_all(sandbox.path("data/" + folder));
  }
  EXPECT_TRUE(sandbox.listDir("data").empty());
  EXPECT_FALSE(fs::exists(sandbox.root() + "/opt/local/share/x"));
}

// A control character in a profiler value costs that character, never an
// element: the inventory and the SMART report (saved, with the network down)
// both keep every element they must have.
TEST_F(AssetRun, AnEscapeInTheDiskModelLeavesBothDocumentsWhole) {
  BRIM_REQUIRE_ROOT();
  const std::string profiles = sandbox.root() + "/profiles";
  fs::copy(testData("mac-a"), profiles);
  std::string disks = readFile(profiles + "/SPSerialATADataType.xml");
  const std::string model = "<string>TOSHIBA MK7559GSXF                      </string>";
  disks.replace(disks.find(model), model.size(), "<string>TOSHIBA \x1b[2J MK7559GSXF</string>");
  writeFile(profiles + "/SPSerialATADataType.xml", disks);
  sandbox.replayProfilerFrom(profiles);
  sandbox.setNetwork(false);

  const RunResult inventory = sandbox.runExpecting(0, {});
  EXPECT_THAT(sandbox.takeDataPostFile("wpmacasstinfo"), HasSubstr("TOSHIBA \uFFFD[2J MK7559GSXF"));
  EXPECT_THAT(inventory.output, HasSubstr("characters XML cannot carry replaced in the value of "));
  sandbox.runExpecting(0, {"-smartstatus"});
  EXPECT_THAT(sandbox.takeDataPostFile("wpmacsmartsts"),
              HasSubstr("<modelname><![CDATA[TOSHIBA \uFFFD[2J MK7559GSXF]]></modelname>"));
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
  for (const auto& [readOnly, options] : {std::pair<bool, const char*>{true, "size=1m"}, {false, "size=8k"}}) {
    if (!mountTmpfs(datapost, options, readOnly)) GTEST_SKIP() << "cannot mount a tmpfs";
    const RunResult full = sandbox.run({"-software"});
    EXPECT_EQ(full.exitStatus, 255) << options;
    EXPECT_TRUE(sandbox.listDir("datapost").empty()) << options;
    EXPECT_TRUE(unmountTmpfs(datapost));
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
