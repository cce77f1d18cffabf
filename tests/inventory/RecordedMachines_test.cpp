// Every category built from system_profiler outputs and compared whole against
// its expected subtree: outputs recorded on real Macs; hand-made outputs of the
// shapes real machines produce less often (missing keys, controllers without
// drives, several memory groups or locations, nested USB devices, cards without
// displays, items of the wrong type); and what the Linux system_profiler answers
// on the recorded machine trees (its reports are pinned by the tools tests), so
// that tree -> profiler -> collectors is covered end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "inventory/ProfilerReplay.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"
#include "support/SandboxRoot.h"

namespace brim::test {
namespace {

struct Recorded {
  std::string name;  // the test's name
  const Collector* category;
  std::string report;    // what the profiler answers, under tests/fixtures
  std::string expected;  // the outline of the subtree, under tests/fixtures
};

void PrintTo(const Recorded& recorded, std::ostream* out) { *out << recorded.name; }

class RecordedMachine : public ::testing::TestWithParam<Recorded> {
 protected:
  TimeZone utc{"UTC"};  // dates are written in the system time zone
};

TEST_P(RecordedMachine, BuildsTheExpectedSubtree) {
  const Recorded& recorded = GetParam();
  ProfilerReplay replay;
  replay.serve(std::string(recorded.category->dataType), recorded.report);
  collectData collector = replay.collector();
  std::string actual = outline((collector.*recorded.category->collect)());

  // The time zone element is the test machine's, not the recording's.
  const std::string zone = "timezone [" + SystemInfo::timeZone() + "]";
  if (const auto at = actual.find(zone); at != std::string::npos) {
    actual.replace(at, zone.size(), "timezone [@TIMEZONE@]");
  }
  // BRIM_UPDATE_EXPECTED=1 rewrites the subtrees after a deliberate change; review the diff.
  if (const char* update = std::getenv("BRIM_UPDATE_EXPECTED"); update && std::string(update) == "1") {
    writeFile(fixture(recorded.expected), actual);
  }
  EXPECT_EQ(actual, readFile(fixture(recorded.expected)));
  EXPECT_TRUE(replay.dataDirEmpty());
}

// "<category>" is answered by the recorded Mac, "<category>-<shape>" by the
// hand-made shape of its data type, unless the report is named.
Recorded mac(const std::string& name, std::string report = "") {
  const Collector& category = collectorOf(name.substr(0, name.find('-')));
  const std::string type(category.dataType);
  if (report.empty() && name.find('-') == std::string::npos) report = "macos/mac-a/" + type + ".xml";
  if (report.empty()) report = "inventory/shapes/" + type + name.substr(name.find('-')) + ".xml";
  std::string testName = name;
  std::replace(testName.begin(), testName.end(), '-', '_');
  return {testName, &category, report, "inventory/expected/" + name + ".txt"};
}

std::vector<Recorded> macCases() {
  std::vector<Recorded> cases;
  for (const Collector& category : inventoryCategories()) {
    // The recorded Mac has no paired Bluetooth device.
    const std::string name(category.name), paired = "inventory/SPBluetoothDataType-paired.xml";
    cases.push_back(name == "blthservices" || name == "blthdevices" ? mac(name, paired) : mac(name));
  }
  cases.push_back(mac("diskinfo-volumes", "macos/samples/SPSerialATADataType.xml"));
  cases.push_back(mac("usbinfo-hubs", "macos/samples/SPUSBDataType2.xml"));
  // The shapes:
  // - hardwareinfo-no-l3: sizes of absent keys as 0, other absent keys as "(null)";
  // - diskinfo-two-controllers: 499.25 GB, a second volume, a second drive never
  //   read, a controller without drives;
  // - networkinfo-lists: lists joined without blanks, the first DNS server and
  //   media option only;
  // - graphicinfo-two-cards: a card with two displays and a second card with none;
  // - memoryinfo-two-groups: each "dtl" is entered by the first with its number,
  //   so the second group lands in the first;
  // - locations-two-locations: a second location nests inside the first one's record;
  // - locations-wireless: the wireless name is the service's second key, only with
  //   wireless settings;
  // - usbinfo-nested: devices are the second level below each bus; deeper ones are
  //   not reported;
  // - power-ac-only, power-one-key: the power type is the item's second key; the
  //   UPS record needs a second item;
  // - blthdevices-empty-entry: twelve device elements, none of them "address".
  for (const char* shape :
       {"hardwareinfo-no-l3", "diskinfo-two-controllers", "diskinfo-items-not-array", "networkinfo-lists",
        "graphicinfo-two-cards", "memoryinfo-two-groups", "locations-two-services", "locations-two-locations",
        "locations-wireless", "usbinfo-nested", "power-ac-only", "hardwareconfig-ac-only", "power-one-key",
        "blthhardwareinfo-version-only", "blthdevices-empty-entry", "firewall-string-item"}) {
    cases.push_back(mac(shape));
  }
  return cases;
}

// "vm": this build machine; "laptop": the hand-written notebook.
std::vector<Recorded> linuxCases() {
  std::vector<Recorded> cases;
  for (const std::string tree : {"vm", "laptop"}) {
    for (const Collector& category : inventoryCategories()) {
      const std::string name(category.name), type(category.dataType);
      cases.push_back({tree + "_" + name, &category, "linux/expected/" + tree + "/" + type + ".xml",
                       "linux/collected/" + tree + "/" + name + ".txt"});
    }
  }
  return cases;
}

std::string caseName(const ::testing::TestParamInfo<Recorded>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Mac, RecordedMachine, ::testing::ValuesIn(macCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Linux, RecordedMachine, ::testing::ValuesIn(linuxCases()), caseName);

}  // namespace
}  // namespace brim::test
