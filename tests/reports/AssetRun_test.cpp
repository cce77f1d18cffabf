// Whole runs of the inventory jobs, and the data-post files they leave.
#include <gtest/gtest.h>

#include <filesystem>
#include <pugixml.hpp>
#include <regex>

#include "app/DateTime.h"
#include "config/GlobalPreferences.h"
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
    size_t categories;
  } runs[] = {
      {{}, "wpmacasstinfo", "-[ConsolidatedAssets collectData]:assetString=", "\n\n", "assetdata", 18},
      {{"-software"}, "wpmacasstswinfo", "-[ConsolidatedAssets collectSWData]:assetString=", "\n", "software", 3}};
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
    expected.insert(expected.end(), run.categories, "fn");
    EXPECT_EQ(childNames(root), expected);
  }
  // The model's log directories, from the hardware profile's machine name.
  const std::string month = DateTime::dateStringOf(DateTime::now(), "MMyyyy");
  EXPECT_TRUE(fs::is_directory(sandbox.path("data/MacBook Pro/" + month + "/GPM")));
  EXPECT_TRUE(fs::is_directory(sandbox.path("data/MacBook Pro/" + month + "/PRS")));
  EXPECT_TRUE(sandbox.listDir("temp").empty());  // profiler output removed
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

TEST_F(Orchestrator, TwoWritesInOneSecondLeaveTheSecondDocument) {
  hardwareProfileWithItem("");
  DateTime::setNowForTesting(std::chrono::system_clock::now());
  ConsolidatedAssets assets;
  assets.assetString1 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wpmacasstinfo>first</wpmacasstinfo>";
  ASSERT_TRUE(assets.writeDataForDataPost());
  assets.assetString1 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wpmacasstinfo>caf\xC3\xA9</wpmacasstinfo>";
  ASSERT_TRUE(assets.writeDataForDataPost());
  const auto files = sandbox.listDir("datapost");
  ASSERT_EQ(files.size(), 1u);  // no temporary file left beside it
  EXPECT_EQ(readFile(sandbox.path("datapost/" + files[0])), *assets.assetString1);
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
