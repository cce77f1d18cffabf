// The Linux system_profiler's reports on recorded machines, compared whole
// against reviewed expected documents, plus what must hold on any machine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "Readers.h"
#include "RecordedTrees.h"
#include "ScratchDir.h"
#include "platform/Plist.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {
namespace fs = std::filesystem;

std::string expectedPath(const std::string& tree, const std::string& type) {
  return treePath("expected/" + tree + "/" + type + ".xml");
}

struct Case {
  std::string tree;
  std::string type;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.tree << " " << c.type; }

class RecordedReport : public ::testing::TestWithParam<Case> {};

TEST_P(RecordedReport, MatchesTheReviewedDocument) {
  const auto& [tree, typeName] = GetParam();
  const auto* type = profiler::findDataType(typeName);
  ASSERT_NE(type, nullptr);
  const std::string actual = profiler::reportXml(*type, recordedRoot(tree));
  // BRIM_UPDATE_EXPECTED=1 rewrites the documents after a deliberate change; review the diff.
  if (const char* update = std::getenv("BRIM_UPDATE_EXPECTED"); update && std::string(update) == "1")
    writeFile(expectedPath(tree, typeName), actual);
  EXPECT_EQ(readFile(expectedPath(tree, typeName)), actual);
}

std::vector<Case> allCases() {
  std::vector<Case> cases;
  for (const char* tree : {"vm", "laptop"})
    for (const auto& type : profiler::dataTypes()) cases.push_back({tree, type.name});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryDataType, RecordedReport, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.tree + "_" + info.param.type; });

// The shape every collector relies on: a top array with one dictionary that
// names its data type and holds an "_items" list, whatever the machine lacks.
void expectReportShape(const std::string& xml, const std::string& typeName) {
  Plist document = parsePlist(xml);
  ASSERT_TRUE(document) << typeName;
  ASSERT_EQ(plist_get_node_type(document.get()), PLIST_ARRAY) << typeName;
  ASSERT_EQ(plist_array_get_size(document.get()), 1u) << typeName;
  plist_t report = plist_array_get_item(document.get(), 0);
  EXPECT_EQ(plistString(plistDictItem(report, "_dataType")), typeName);
  plist_t items = plistDictItem(report, "_items");
  ASSERT_NE(items, nullptr) << typeName;
  EXPECT_EQ(plist_get_node_type(items), PLIST_ARRAY) << typeName;
}

TEST(ProfilerReport, AMachineWithoutAnySourceStillAnswersEveryType) {
  const ScratchDir empty("brim_empty_machine");
  const auto root = recordedRoot("vm", empty.str());
  for (const auto& type : profiler::dataTypes()) expectReportShape(profiler::reportXml(type, root), type.name);
  // The hardware overview always names the machine.
  Plist hardware = parsePlist(profiler::reportXml(*profiler::findDataType("SPHardwareDataType"), root));
  plist_t item = plist_array_get_item(plistDictItem(plist_array_get_item(hardware.get(), 0), "_items"), 0);
  EXPECT_EQ(plistString(plistDictItem(item, "machine_name")), "Linux Computer");
}

// machine_name: DMI product, else device-tree model, else the hypervisor, else a fixed name; never a "/".
TEST(ProfilerReport, MachineNameFallsBackThroughItsSourcesAndNeverHoldsASlash) {
  const ScratchDir scratch("brim_machine_name");
  const fs::path& dir = scratch.path();
  const auto root = recordedRoot("vm", scratch.str());
  writeFile((dir / "proc/cpuinfo").string(), "processor\t: 0\nflags\t\t: fpu hypervisor lm\n");
  EXPECT_EQ(profiler::machineName(root), "Virtual Machine");
  writeFile((dir / "sys/hypervisor/type").string(), "xen\n");
  EXPECT_EQ(profiler::machineName(root), "Xen Virtual Machine");
  writeFile((dir / "proc/device-tree/model").string(), std::string("Raspberry Pi 4 Model B Rev 1.4\0", 31));
  EXPECT_EQ(profiler::machineName(root), "Raspberry Pi 4 Model B Rev 1.4");
  writeFile((dir / "sys/class/dmi/id/product_name").string(), "To be filled by O.E.M.\n");
  EXPECT_EQ(profiler::machineName(root), "Raspberry Pi 4 Model B Rev 1.4");
  writeFile((dir / "sys/class/dmi/id/product_name").string(), "ProLiant DL380 G7/G8\n");
  EXPECT_EQ(profiler::machineName(root), "ProLiant DL380 G7-G8");
}

TEST(ProfilerReport, SizesTakeTheFormsTheCollectorsConvert) {
  EXPECT_EQ(profiler::binarySize(uint64_t(16) << 30), "16 GB");
  EXPECT_EQ(profiler::binarySize(256 * 1024), "256 KB");
  EXPECT_EQ(profiler::binarySize(6144 * 1024), "6 MB");
  EXPECT_EQ(profiler::binarySize(1536 * 1024), "1536 KB");  // never a fraction the collectors would cut
  EXPECT_EQ(profiler::installedMemorySize(24731400ull * 1024), "24 GB");
  EXPECT_EQ(profiler::decimalSize(750156374016ull), "750.16 GB");
  EXPECT_EQ(profiler::decimalSize(650002432ull), "650 MB");
  EXPECT_EQ(profiler::decimalSize(749296615424ull), "749.3 GB");
  EXPECT_EQ(profiler::decimalSize(512), "512 bytes");
}

}  // namespace
}  // namespace brim::test
