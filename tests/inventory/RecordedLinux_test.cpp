// Every category built from what the Linux system_profiler answers on the
// recorded machine trees (its reports are pinned by the tools tests), so that
// tree -> profiler -> collectors is covered end to end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "inventory/ProfilerReplay.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"

namespace brim::test {
namespace {

struct Category {
  const char* name;  // tests/fixtures/linux/collected/<tree>/<name>.txt
  const char* dataType;
  XMLTree (collectData::*collect)();
};

// The full inventory, then the software inventory.
const Category kCategories[] = {
    {"memoryinfo", "SPMemoryDataType", &collectData::getMemoryInfo},
    {"hardwareinfo", "SPHardwareDataType", &collectData::getHardwareInfo},
    {"firewall", "SPFirewallDataType", &collectData::getFirewallInfo},
    {"ethernetcrdinfo", "SPEthernetDataType", &collectData::getEthernetInfo},
    {"diskinfo", "SPSerialATADataType", &collectData::getDiskInfo},
    {"sharedvolinfo", "SPNetworkVolumeDataType", &collectData::getSharedVolInfo},
    {"sdcardreader", "SPCardReaderDataType", &collectData::getCardreaderInfo},
    {"selftest", "SPDiagnosticsDataType", &collectData::getSelfTestInfo},
    {"discburning", "SPDiscBurningDataType", &collectData::getDiscBurninginfo},
    {"power", "SPPowerDataType", &collectData::getPowerInfo},
    {"hardwareconfig", "SPPowerDataType", &collectData::getHWConfigInfo},
    {"osinfo", "SPThunderboltDataType", &collectData::getOSInfo},
    {"graphicinfo", "SPDisplaysDataType", &collectData::getGraphicInfo},
    {"blthhardwareinfo", "SPBluetoothDataType", &collectData::getBlueToothHardWareInfo},
    {"blthservices", "SPBluetoothDataType", &collectData::getBlueToothServices},
    {"blthdevices", "SPBluetoothDataType", &collectData::getBlueToothDevices},
    {"networkinfo", "SPNetworkDataType", &collectData::getNetwokInfo},
    {"locations", "SPNetworkLocationDataType", &collectData::getLocationsInfo},
    {"systeminfo", "SPSoftwareDataType", &collectData::getSystemInfo},
    {"applicationinfo", "SPApplicationsDataType", &collectData::getApplicationInfo},
    {"usbinfo", "SPUSBDataType", &collectData::getUSBInfo},
};

struct Case {
  std::string tree;  // "vm": this build machine; "laptop": the hand-written notebook
  Category category;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.tree << " " << c.category.name; }

class RecordedLinux : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    // Package dates are written in the system time zone; pin it so the expected text holds anywhere.
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
};

TEST_P(RecordedLinux, BuildsTheReviewedSubtree) {
  const auto& [tree, category] = GetParam();
  ProfilerReplay replay;
  replay.serve(category.dataType, "linux/expected/" + tree + "/" + category.dataType + ".xml");
  collectData collector = replay.collector();
  std::string actual = outline((collector.*category.collect)());

  // The time zone element is the test machine's, not the recording's.
  const std::string zone = SystemInfo::timeZone(), zoneMark = "@TIMEZONE@";
  if (const auto at = actual.find("timezone [" + zone + "]"); at != std::string::npos) {
    actual.replace(at + 10, zone.size(), zoneMark);
  }
  const std::string expected = fixture("linux/collected/" + tree + "/" + category.name + ".txt");
  // BRIM_UPDATE_EXPECTED=1 rewrites the subtrees after a deliberate change; review the diff.
  if (const char* update = std::getenv("BRIM_UPDATE_EXPECTED"); update && std::string(update) == "1") {
    writeFile(expected, actual);
  }
  EXPECT_EQ(actual, readFile(expected));
  EXPECT_TRUE(replay.filesLeftInDataDir().empty());
}

std::vector<Case> allCases() {
  std::vector<Case> cases;
  for (const char* tree : {"vm", "laptop"}) {
    for (const Category& category : kCategories) cases.push_back({tree, category});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryCollector, RecordedLinux, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.tree + "_" + info.param.category.name;
                         });

}  // namespace
}  // namespace brim::test
