// Whole runs of the inventory jobs, and the data-post files they leave.
#include <gtest/gtest.h>

#include <filesystem>
#include <pugixml.hpp>
#include <regex>

#include "platform/DateTime.h"
#include "config/GlobalPreferences.h"
#include "inventory/InventoryCategories.h"
#include "platform/Paths.h"
#include "reports/ConsolidatedAssets.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> childNames(const pugi::xml_node& node) {
  std::vector<std::string> names;
  for (const auto& child : node.children()) names.emplace_back(child.name());
  return names;
}

// The text of "fnname" of each category element, in document order.
std::vector<std::string> categoryNames(const pugi::xml_node& root) {
  std::vector<std::string> names;
  for (const auto& category : root.children("fn")) names.emplace_back(category.child_value("fnname"));
  return names;
}

// The "fnname" texts of a document's categories, in document order.
std::vector<std::string> namesOf(std::span<const InventoryCategory> categories) {
  std::vector<std::string> names;
  for (const InventoryCategory& category : categories) names.emplace_back(category.name);
  return names;
}
// A whole full-inventory document of the recorded Mac with registration id 4711.
void expectFullInventory(const std::string& document) {
  pugi::xml_document parsed;
  ASSERT_TRUE(parsed.load_string(document.c_str())) << document;
  const auto root = parsed.document_element();
  EXPECT_STREQ(root.child_value("type"), "assetdata");
  EXPECT_STREQ(root.child_value("regid"), "4711");
  EXPECT_EQ(categoryNames(root), namesOf(hardwareCategories()));
}

class AssetRun : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox.writeBuildDate();
    sandbox.writeSettings(4711);
    sandbox.replayProfilerFrom(fixture("macos/mac-a"));
  }
  // The one data-post file whose name starts with prefix; its name must end in a 14-digit time stamp.
  std::string onlyDataPostFile(const std::string& prefix) {
    const auto files = sandbox.listDir("datapost");
    EXPECT_EQ(files.size(), 1u);
    if (files.size() != 1) return {};
    EXPECT_TRUE(std::regex_match(files[0], std::regex(prefix + "_4711_[0-9]{14}"))) << files[0];
    return readFile(sandbox.path("datapost/" + files[0]));
  }
  Sandbox sandbox;
};

// Each document is exactly the logged text: the full inventory with eighteen
// categories, the software inventory with three under the same root.
TEST_F(AssetRun, EachRunWritesTheLoggedDocument) {
  BRIM_REQUIRE_ROOT();
  const struct {
    std::vector<std::string> args;
    const char *file, *logged, *afterDocument, *type;
    std::vector<std::string> categories;
  } runs[] = {{{},
               "wpmacasstinfo",
               "-[ConsolidatedAssets collectData]:assetString=",
               "\n\n",
               "assetdata",
               namesOf(hardwareCategories())},
              {{"-software"},
               "wpmacasstswinfo",
               "-[ConsolidatedAssets collectSWData]:assetString=",
               "\n",
               "software",
               namesOf(softwareCategories())}};
  for (const auto& run : runs) {
    const RunResult result = sandbox.run(run.args);
    EXPECT_EQ(result.exitStatus, 0) << result.output;
    const std::string document = onlyDataPostFile(run.file);
    EXPECT_TRUE(contains(result.output, run.logged + document + run.afterDocument));
    EXPECT_EQ(contains(result.output, "int main(int, const char **):software asset saved"), !run.args.empty());
    fs::remove_all(sandbox.path("datapost"));
    fs::create_directories(sandbox.path("datapost"));

    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(document.c_str())) << document;
    const auto root = parsed.document_element();
    EXPECT_STREQ(root.name(), "wpmacasstinfo");
    EXPECT_STREQ(root.child_value("type"), run.type);
    EXPECT_STREQ(root.child_value("regid"), "4711");
    EXPECT_TRUE(std::regex_match(root.child_value("scandttime"),
                                 std::regex("[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}")));
    std::vector<std::string> expected = {"type", "regid", "scandttime"};
    expected.insert(expected.end(), run.categories.size(), "fn");
    EXPECT_EQ(childNames(root), expected);
    EXPECT_EQ(categoryNames(root), run.categories);
  }
  // The model's log directories, from the hardware profile's machine name.
  const std::string month = DateTime::dateStringOf(DateTime::now(), "MMyyyy");
  EXPECT_TRUE(fs::is_directory(sandbox.path("data/MacBook Pro/" + month + "/GPM")));
  EXPECT_TRUE(fs::is_directory(sandbox.path("data/MacBook Pro/" + month + "/PRS")));
  EXPECT_TRUE(sandbox.listDir("temp").empty());  // profiler output removed with the run's folder
}

// The run lock lets one run in at a time; each writes its own file.
TEST_F(AssetRun, SixRunsStartedTogetherEachWriteAWholeDocument) {
  BRIM_REQUIRE_ROOT();
  EXPECT_EQ(sandbox.runTogether(6, {}).exitStatus, 0);
  const auto files = sandbox.listDir("datapost");
  ASSERT_EQ(files.size(), 6u);
  for (const auto& file : files) {
    SCOPED_TRACE(file);
    EXPECT_TRUE(std::regex_match(file, std::regex("wpmacasstinfo_4711_[0-9]{14}")));
    expectFullInventory(readFile(sandbox.path("datapost/" + file)));
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
  expectFullInventory(onlyDataPostFile("wpmacasstinfo"));
}

TEST_F(AssetRun, AProfilerThatPrintsGarbageStillGivesBothDocumentsButNoLogDirectories) {
  BRIM_REQUIRE_ROOT();
  sandbox.writeExecutable(sandbox.fakeBinDir() + "/system_profiler", "#!/bin/sh\necho 'not a property list <'\n");
  EXPECT_EQ(sandbox.run({}).exitStatus, 0);
  EXPECT_EQ(sandbox.run({"-software"}).exitStatus, 0);
  const auto files = sandbox.listDir("datapost");
  ASSERT_EQ(files.size(), 2u);
  for (const auto& file : files) {
    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(readFile(sandbox.path("datapost/" + file)).c_str())) << file;
    for (const auto& category : parsed.document_element().children("fn")) {
      // Each category is reduced to its name (locations to "fn" alone).
      EXPECT_LE(std::distance(category.children().begin(), category.children().end()), 1) << file;
    }
  }
  EXPECT_TRUE(sandbox.listDir("data").empty());
}

TEST_F(AssetRun, AMissingDataPostDirectoryFailsTheJobAndLeavesNothing) {
  BRIM_REQUIRE_ROOT();
  fs::remove_all(sandbox.path("datapost"));
  EXPECT_EQ(sandbox.run({}).exitStatus, 255);
  EXPECT_FALSE(fs::exists(sandbox.path("datapost")));

  // A data-post "directory" that is a file cannot take one either.
  writeFile(sandbox.path("datapost"), "");
  const RunResult result = sandbox.run({"-software"});
  EXPECT_EQ(result.exitStatus, 255);
  EXPECT_FALSE(contains(result.output, "software asset saved into file"));
  EXPECT_TRUE(fs::is_regular_file(sandbox.path("datapost")));
  EXPECT_FALSE(fs::exists(sandbox.path("bin/brim_asset.lock")));
}

// In-process: the orchestrator's start-up work and writes with a pinned clock.
class Orchestrator : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox.writeBuildDate();
    sandbox.writeSettings(4711);
    inProcess.emplace(sandbox);
  }
  void TearDown() override { inProcess.reset(); }
  void hardwareProfileWithItem(const std::string& itemXml) {
    writeFile(sandbox.root() + "/profiles/SPHardwareDataType.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><array><dict>"
              "<key>_dataType</key><string>SPHardwareDataType</string><key>_items</key><array>" +
                  itemXml + "</array></dict></array></plist>");
    sandbox.replayProfilerFrom(sandbox.root() + "/profiles");
  }
  Sandbox sandbox;
  std::optional<SandboxInProcess> inProcess;
};

TEST_F(Orchestrator, AnItemWithoutMachineNameGivesNullDirectoriesAndNoItemsGiveNone) {
  hardwareProfileWithItem("<dict><key>cpu_type</key><string>x</string></dict>");
  {
    ConsolidatedAssets assets;
    ASSERT_TRUE(assets.procLogDir);
    EXPECT_EQ(*assets.procLogDir,
              sandbox.path("data/(null)/") + DateTime::dateStringOf(DateTime::now(), "MMyyyy") + "/PRS");
    EXPECT_TRUE(fs::is_directory(*assets.perfLogDir));
  }
  fs::remove_all(sandbox.path("data/(null)"));
  hardwareProfileWithItem("");
  ConsolidatedAssets assets;
  EXPECT_FALSE(assets.procLogDir);
  EXPECT_FALSE(assets.perfLogDir);
  EXPECT_TRUE(sandbox.listDir("data").empty());
}

// A file of the same name is never replaced: the second write waits for the
// next second and takes its stamp.
TEST_F(Orchestrator, TwoWritesInOneSecondKeepBothDocuments) {
  hardwareProfileWithItem("");
  ConsolidatedAssets assets;
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

// What is saved when the network is down is shown by the "-smartstatus" and
// "-ProcSave" runs.
TEST_F(Orchestrator, WritersWithoutADocumentFailAndReachableReportsAreNotSaved) {
  hardwareProfileWithItem("<dict><key>machine_name</key><string>Mac</string></dict>");
  ConsolidatedAssets assets;
  EXPECT_FALSE(assets.writeDataForDataPost());
  EXPECT_FALSE(assets.WriteProcDataforDatapost());

  assets.assetString2 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wpmacsmartsts/>";
  assets.reportDelivered = true;  // the server answered
  sandbox.writeRouteTable(true);
  EXPECT_TRUE(assets.writeSmartStatusForDataPost());
  EXPECT_TRUE(assets.writeMacNameForDataPost());
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
}

}  // namespace
}  // namespace brim::test
