// The Linux system_profiler: its reports on recorded machines compared whole
// against reviewed expected documents, what must hold on any machine, and the
// executable as the tool runs it (through the shell, one data type at a time,
// output redirected to a file).
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "Readers.h"
#include "SystemRoot.h"
#include "inventory/InventoryCategories.h"
#include "platform/Plist.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {
namespace fs = std::filesystem;

std::string treePath(const std::string& tree) { return fixture("linux/" + tree); }
const std::string kProfiler = std::string(BRIM_BIN_DIR) + "/system_profiler";

// The recorded machines, with the facts that do not live in files (SMART
// health, free space, clock, user) fixed per tree. "vm": this build machine, a
// virtual machine with a virtio disk and no DMI; "laptop": the hand-written
// notebook of make-laptop-tree.py.
profiler::SystemRoot recordedRoot(const std::string& tree, const std::string& path = "") {
  profiler::SystemRoot root(path.empty() ? treePath(tree) : path);
  const bool laptop = tree == "laptop";
  root.smartHealth = [laptop](const std::string& device) -> std::optional<std::string> {
    // smartctl cannot read a virtio disk; the laptop's SSD reports healthy.
    if (!laptop || device != "/dev/sda") return std::nullopt;
    return std::string(
        "smartctl 7.4 2023-08-01 r5530\n=== START OF READ SMART DATA SECTION ===\n"
        "SMART overall-health self-assessment test result: PASSED\n");
  };
  root.fsSpace = [laptop](const std::string& mountPoint) -> std::optional<profiler::FsSpace> {
    if (mountPoint != "/") return std::nullopt;
    return laptop ? profiler::FsSpace{499569917952ull, 120500000000ull}
                  : profiler::FsSpace{274877906944ull, 85305675776ull};
  };
  root.machineArch = [] { return std::optional<std::string>("x86_64"); };
  root.effectiveUser = [laptop] { return static_cast<uid_t>(laptop ? 1000 : 0); };
  root.now = [] { return time_t{1796418303}; };  // 2026-12-04 21:05:03 UTC
  // Every package list's modification time: 2024-03-01 12:00:00 UTC.
  root.fileTime = [](const std::string&) -> std::optional<time_t> { return 1709294400; };
  return root;
}

// The data types the inventory's categories ask the profiler for, in the
// order -listDataTypes prints them.
std::vector<std::string> categoryDataTypes() {
  std::set<std::string> types;
  for (const brim::CategoryView& category : brim::inventoryCategories()) types.emplace(category.dataType);
  return {types.begin(), types.end()};
}

// The executable lists exactly the data types the categories ask for, and
// answers each; on each recorded machine, each answer is the reviewed
// document.
TEST(RecordedReport, EveryListedDataTypeMatchesTheReviewedDocument) {
  const RunResult listed = runShell(kProfiler + " -listDataTypes");
  ASSERT_EQ(listed.exitStatus, 0);
  ASSERT_TRUE(listed.output.starts_with("Available Datatypes:\n")) << listed.output;
  std::istringstream in(listed.output.substr(listed.output.find('\n')));
  const std::vector<std::string> types{std::istream_iterator<std::string>(in), {}};
  EXPECT_EQ(types, categoryDataTypes());
  for (const std::string tree : {"vm", "laptop"}) {
    for (const std::string& name : types) {
      const auto* type = profiler::findDataType(name);
      ASSERT_NE(type, nullptr) << name;
      const std::string actual = profiler::reportXml(*type, recordedRoot(tree));
      expectAsReviewed(testData("linux-" + tree + "/" + name + ".xml"), actual);
    }
  }
}

// The shape every collector relies on, whatever the machine lacks: a top array
// with one dictionary that names its data type and holds an "_items" list. The
// machine's name: DMI product, else device-tree model, else the hypervisor,
// else a fixed name; never a "/".
TEST(ProfilerReport, AMachineWithoutAnySourceAnswersEveryTypeAndNamesItselfFromWhatItHas) {
  const Sandbox scratch;  // no /proc, /sys or /etc
  const auto root = recordedRoot("vm", scratch.root());
  for (const auto& type : profiler::dataTypes()) {
    Plist document = parsePlist(profiler::reportXml(type, root));
    ASSERT_EQ(plist_array_get_size(document.get()), 1u) << type.name;
    plist_t report = plist_array_get_item(document.get(), 0);
    EXPECT_EQ(plistString(plistDictItem(report, "_dataType")), type.name);
    EXPECT_EQ(plist_get_node_type(plistDictItem(report, "_items")), PLIST_ARRAY) << type.name;
  }
  // Each source written adds to the ones before.
  for (const auto& c : fixtureCases("tools/machine-names.cases", 3)) {
    if (!c[0].empty()) writeFile(scratch.root() + "/" + c[0], c[1]);
    EXPECT_EQ(profiler::machineName(root), c[2]) << c[0];
  }
}

// Sizes in units the collectors convert, never a fraction they would cut.
TEST(ProfilerReport, SizesTakeTheFormsTheCollectorsConvert) {
  for (const auto& c : fixtureCases("tools/sizes.cases", 3)) {
    const uint64_t bytes = std::stoull(c[1]);
    const std::string text = c[0] == "binary"   ? profiler::binarySize(bytes)
                             : c[0] == "memory" ? profiler::installedMemorySize(bytes)
                                                : profiler::decimalSize(bytes);
    EXPECT_EQ(text, c[2]) << c[0] << " " << c[1];
  }
}

// The text form of the network report, read the way the machine-details report
// reads it: two grep/awk pipelines, Ethernet's and Wi-Fi's, that must find only
// the primary service's address.
TEST(ProfilerReport, NetworkTextGivesOnlyThePrimaryServicesAddress) {
  const auto addressesFound = [](const profiler::SystemRoot& root) {
    const std::string text = profiler::networkText(root);
    return shellOutput("grep -A3 Ethernet | awk '/IPv4 Address/ { print $3 }'", text) + "|" +
           shellOutput("grep -A6 Wi-Fi | awk '/IPv4 Address/ { print $3 }'", text);
  };
  // The laptop's wired card has a lab address but no default route; in the
  // copy it carries the default route.
  const Sandbox scratch;
  const fs::path wired = scratch.root() + "/laptop", empty = scratch.root() + "/empty";
  fs::copy(treePath("laptop"), wired, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  writeFile((wired / "proc/net/route").string(),
            "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
            "enp0s31f6\t00000000\t0101010A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
            "wlp2s0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
            "enp0s31f6\t0001010A\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
            "wlp2s0\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n");
  fs::create_directories(empty);
  EXPECT_EQ(addressesFound(recordedRoot("vm")), "192.0.2.2\n|");
  EXPECT_EQ(addressesFound(recordedRoot("laptop")), "|192.168.1.23\n");
  EXPECT_EQ(addressesFound(recordedRoot("laptop", wired.string())), "10.1.1.5\n|");
  EXPECT_EQ(addressesFound(recordedRoot("vm", empty.string())), "|");
}

// This machine's hardware report reads back as a property list naming the
// machine; an unknown data type is skipped; a report it cannot write (a full
// disk) fails the run.
TEST(ProfilerCommand, AnswersThisMachineAndSaysWhatItCannotAnswerOrWrite) {
  const Sandbox scratch;
  const std::string out = scratch.path("temp/autodelete_SPHardwareDataType.plist");
  ASSERT_EQ(runShell(kProfiler + " SPHardwareDataType -xml >" + out).exitStatus, 0);
  Plist document = readPlistFile(out);
  plist_t report = plist_array_get_item(document.get(), 0);
  EXPECT_EQ(plistString(plistDictItem(report, "_dataType")), "SPHardwareDataType");
  plist_t item = plist_array_get_item(plistDictItem(report, "_items"), 0);
  EXPECT_TRUE(plistString(plistDictItem(item, "physical_memory")));
  EXPECT_FALSE(plistString(plistDictItem(item, "machine_name")).value_or("").empty());

  const RunResult unknown = runShell(kProfiler + " SPNoSuchDataType -xml 2>&1");
  EXPECT_EQ(unknown.exitStatus, 0);
  EXPECT_EQ(unknown.output, "system_profiler: unknown data type SPNoSuchDataType\n");
  const RunResult full = runShell(kProfiler + " SPHardwareDataType -xml 2>&1 >/dev/full");
  EXPECT_EQ(full.exitStatus, 1);
  EXPECT_EQ(full.output, "system_profiler: cannot write the report\n");
}

// A whole asset run on this machine through the stand-in: both documents follow
// the wire format and carry this machine's own processor, kernel and packages.
TEST(ProfilerCommand, ThisMachinesRunGivesDocumentsOfItsOwnValues) {
  BRIM_REQUIRE_ROOT();
  const Sandbox sandbox;
  sandbox.writeSettings(4711);
  fs::create_symlink(kProfiler, sandbox.fakeBinDir() + "/system_profiler");
  sandbox.runExpecting(0, {});
  std::string documents = sandbox.takeDataPostFile("wpmacasstinfo");
  sandbox.runExpecting(0, {"-software"});
  documents += sandbox.takeDataPostFile("wpmacasstswinfo");
  const auto value = [&documents](const std::string& tag) {
    const std::string open = "<" + tag + "><![CDATA[";
    const size_t at = documents.find(open);
    return at == std::string::npos ? ""
                                   : documents.substr(at + open.size(), documents.find("]]>", at) - at - open.size());
  };
  const std::string processor = value("processor");
  EXPECT_FALSE(processor.empty() || processor == "(null)");
  EXPECT_NE(readFile("/proc/cpuinfo").find(processor), std::string::npos) << processor;
  EXPECT_EQ(value("kernlver") + "\n", "Linux " + readFile("/proc/sys/kernel/osrelease"));
  EXPECT_NE(documents.find("<fnname>applicationinfo</fnname><dtl ID=\"0\">"), std::string::npos);
}

}  // namespace
}  // namespace brim::test
