// Every category built from system_profiler outputs recorded on real Macs,
// compared whole against the expected subtree.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>

#include "inventory/ProfilerReplay.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"

namespace brim::test {
namespace {

struct Recorded {
  const char* expected;  // tests/fixtures/inventory/expected/<expected>.txt
  const char* dataType;
  const char* fixture;  // under tests/fixtures
  XMLTree (collectData::*collect)();
};

void PrintTo(const Recorded& recorded, std::ostream* out) { *out << recorded.expected; }

class RecordedMac : public ::testing::TestWithParam<Recorded> {
 protected:
  void SetUp() override {
    // Dates are written in the system time zone; pin it so the expected text holds anywhere.
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
};

TEST_P(RecordedMac, BuildsTheExpectedSubtree) {
  const Recorded& recorded = GetParam();
  ProfilerReplay replay;
  replay.serve(recorded.dataType, recorded.fixture);
  collectData collector = replay.collector();

  std::string expected = expectedOutline(recorded.expected);
  // The time zone element is the machine's, not the recording's.
  const std::string zoneMark = "@TIMEZONE@";
  if (const auto at = expected.find(zoneMark); at != std::string::npos) {
    expected.replace(at, zoneMark.size(), SystemInfo::timeZone());
  }
  EXPECT_EQ(outline((collector.*recorded.collect)()), expected);
  EXPECT_TRUE(replay.filesLeftInDataDir().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Categories, RecordedMac,
    ::testing::Values(
        Recorded{"memoryinfo", "SPMemoryDataType", "macos/mac-a/SPMemoryDataType.xml", &collectData::getMemoryInfo},
        Recorded{"hardwareinfo", "SPHardwareDataType", "macos/mac-a/SPHardwareDataType.xml",
                 &collectData::getHardwareInfo},
        Recorded{"firewall", "SPFirewallDataType", "macos/mac-a/SPFirewallDataType.xml", &collectData::getFirewallInfo},
        Recorded{"selftest", "SPDiagnosticsDataType", "macos/mac-a/SPDiagnosticsDataType.xml",
                 &collectData::getSelfTestInfo},
        Recorded{"power", "SPPowerDataType", "macos/mac-a/SPPowerDataType.xml", &collectData::getPowerInfo},
        Recorded{"hardwareconfig", "SPPowerDataType", "macos/mac-a/SPPowerDataType.xml", &collectData::getHWConfigInfo},
        Recorded{"diskinfo", "SPSerialATADataType", "macos/mac-a/SPSerialATADataType.xml", &collectData::getDiskInfo},
        Recorded{"diskinfo-volumes", "SPSerialATADataType", "macos/samples/SPSerialATADataType.xml",
                 &collectData::getDiskInfo},
        Recorded{"sharedvolinfo", "SPNetworkVolumeDataType", "macos/mac-a/SPNetworkVolumeDataType.xml",
                 &collectData::getSharedVolInfo},
        Recorded{"sdcardreader", "SPCardReaderDataType", "macos/mac-a/SPCardReaderDataType.xml",
                 &collectData::getCardreaderInfo},
        Recorded{"discburning", "SPDiscBurningDataType", "macos/mac-a/SPDiscBurningDataType.xml",
                 &collectData::getDiscBurninginfo},
        Recorded{"ethernetcrdinfo", "SPEthernetDataType", "macos/mac-a/SPEthernetDataType.xml",
                 &collectData::getEthernetInfo},
        Recorded{"networkinfo", "SPNetworkDataType", "macos/mac-a/SPNetworkDataType.xml", &collectData::getNetwokInfo},
        Recorded{"locations", "SPNetworkLocationDataType", "macos/mac-a/SPNetworkLocationDataType.xml",
                 &collectData::getLocationsInfo},
        Recorded{"graphicinfo", "SPDisplaysDataType", "macos/mac-a/SPDisplaysDataType.xml",
                 &collectData::getGraphicInfo},
        Recorded{"osinfo", "SPThunderboltDataType", "macos/mac-a/SPThunderboltDataType.xml", &collectData::getOSInfo},
        Recorded{"systeminfo", "SPSoftwareDataType", "macos/mac-a/SPSoftwareDataType.xml", &collectData::getSystemInfo},
        Recorded{"blthhardwareinfo", "SPBluetoothDataType", "macos/mac-a/SPBluetoothDataType.xml",
                 &collectData::getBlueToothHardWareInfo},
        Recorded{"blthservices", "SPBluetoothDataType", "inventory/SPBluetoothDataType-paired.xml",
                 &collectData::getBlueToothServices},
        Recorded{"blthdevices", "SPBluetoothDataType", "inventory/SPBluetoothDataType-paired.xml",
                 &collectData::getBlueToothDevices},
        Recorded{"applicationinfo", "SPApplicationsDataType", "macos/mac-a/SPApplicationsDataType.xml",
                 &collectData::getApplicationInfo},
        Recorded{"usbinfo", "SPUSBDataType", "macos/mac-a/SPUSBDataType.xml", &collectData::getUSBInfo},
        Recorded{"usbinfo-hubs", "SPUSBDataType", "macos/samples/SPUSBDataType2.xml", &collectData::getUSBInfo}),
    [](const ::testing::TestParamInfo<Recorded>& info) {
      std::string name = info.param.expected;
      for (char& c : name) {
        if (c == '-') c = '_';
      }
      return name;
    });

}  // namespace
}  // namespace brim::test
