// Every category built from system_profiler outputs recorded on real Macs, and
// from hand-made outputs of the shapes real machines produce less often
// (missing keys, controllers without drives, several memory groups or
// locations, nested USB devices, cards without displays, items of the wrong
// type), compared whole against the expected subtree.
#include <gtest/gtest.h>

#include <string>

#include "inventory/ProfilerReplay.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"
#include "support/SandboxRoot.h"

namespace brim::test {
namespace {

struct Recorded {
  const char* expected;  // tests/fixtures/inventory/expected/<category>[-<variant>].txt
  const char* fixture;   // under tests/fixtures, named after its data type
};

void PrintTo(const Recorded& recorded, std::ostream* out) { *out << recorded.expected; }

class RecordedMac : public ::testing::TestWithParam<Recorded> {
 protected:
  TimeZone utc{"UTC"};  // dates are written in the system time zone
};

TEST_P(RecordedMac, BuildsTheExpectedSubtree) {
  const std::string name = GetParam().expected, fixture = GetParam().fixture;
  const Collector& category = collectorOf(name.substr(0, name.find('-')));
  ProfilerReplay replay;
  replay.serve(std::string(category.dataType), fixture);
  collectData collector = replay.collector();

  std::string expected = expectedOutline(name);
  // The time zone element is the machine's, not the recording's.
  const std::string zoneMark = "@TIMEZONE@";
  if (const auto at = expected.find(zoneMark); at != std::string::npos) {
    expected.replace(at, zoneMark.size(), SystemInfo::timeZone());
  }
  EXPECT_EQ(outline((collector.*category.collect)()), expected);
  EXPECT_TRUE(replay.filesLeftInDataDir().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Categories, RecordedMac,
    ::testing::Values(
        Recorded{"memoryinfo", "macos/mac-a/SPMemoryDataType.xml"},
        Recorded{"hardwareinfo", "macos/mac-a/SPHardwareDataType.xml"},
        Recorded{"firewall", "macos/mac-a/SPFirewallDataType.xml"},
        Recorded{"selftest", "macos/mac-a/SPDiagnosticsDataType.xml"},
        Recorded{"power", "macos/mac-a/SPPowerDataType.xml"},
        Recorded{"hardwareconfig", "macos/mac-a/SPPowerDataType.xml"},
        Recorded{"diskinfo", "macos/mac-a/SPSerialATADataType.xml"},
        Recorded{"diskinfo-volumes", "macos/samples/SPSerialATADataType.xml"},
        Recorded{"sharedvolinfo", "macos/mac-a/SPNetworkVolumeDataType.xml"},
        Recorded{"sdcardreader", "macos/mac-a/SPCardReaderDataType.xml"},
        Recorded{"discburning", "macos/mac-a/SPDiscBurningDataType.xml"},
        Recorded{"ethernetcrdinfo", "macos/mac-a/SPEthernetDataType.xml"},
        Recorded{"networkinfo", "macos/mac-a/SPNetworkDataType.xml"},
        Recorded{"locations", "macos/mac-a/SPNetworkLocationDataType.xml"},
        Recorded{"graphicinfo", "macos/mac-a/SPDisplaysDataType.xml"},
        Recorded{"osinfo", "macos/mac-a/SPThunderboltDataType.xml"},
        Recorded{"systeminfo", "macos/mac-a/SPSoftwareDataType.xml"},
        Recorded{"blthhardwareinfo", "macos/mac-a/SPBluetoothDataType.xml"},
        Recorded{"blthservices", "inventory/SPBluetoothDataType-paired.xml"},
        Recorded{"blthdevices", "inventory/SPBluetoothDataType-paired.xml"},
        Recorded{"applicationinfo", "macos/mac-a/SPApplicationsDataType.xml"},
        Recorded{"usbinfo", "macos/mac-a/SPUSBDataType.xml"},
        Recorded{"usbinfo-hubs", "macos/samples/SPUSBDataType2.xml"},
        // Sizes of absent keys as 0, other absent keys as "(null)".
        Recorded{"hardwareinfo-no-l3", "inventory/shapes/SPHardwareDataType-no-l3.xml"},
        // 499.25 GB, a second volume, a second drive never read, a controller without drives.
        Recorded{"diskinfo-two-controllers", "inventory/shapes/SPSerialATADataType-two-controllers.xml"},
        Recorded{"diskinfo-items-not-array", "inventory/shapes/SPSerialATADataType-items-not-array.xml"},
        // Lists joined without blanks, the first DNS server and media option only.
        Recorded{"networkinfo-lists", "inventory/shapes/SPNetworkDataType-lists.xml"},
        Recorded{"graphicinfo-two-cards", "inventory/shapes/SPDisplaysDataType-two-cards.xml"},
        // Each "dtl" is entered by the first with its number: the second group lands in the first.
        Recorded{"memoryinfo-two-groups", "inventory/shapes/SPMemoryDataType-two-groups.xml"},
        Recorded{"locations-two-services", "inventory/shapes/SPNetworkLocationDataType-two-services.xml"},
        // A second location nests inside the first one's record.
        Recorded{"locations-two-locations", "inventory/shapes/SPNetworkLocationDataType-two-locations.xml"},
        // The wireless name is the service's second key, only with wireless settings.
        Recorded{"locations-wireless", "inventory/shapes/SPNetworkLocationDataType-wireless.xml"},
        // Devices are the second level below each bus; deeper ones are not reported.
        Recorded{"usbinfo-nested", "inventory/shapes/SPUSBDataType-nested.xml"},
        // The power type is the item's second key; the UPS record needs a second item.
        Recorded{"power-ac-only", "inventory/shapes/SPPowerDataType-ac-only.xml"},
        Recorded{"hardwareconfig-ac-only", "inventory/shapes/SPPowerDataType-ac-only.xml"},
        Recorded{"power-one-key", "inventory/shapes/SPPowerDataType-one-key.xml"},
        Recorded{"blthhardwareinfo-version-only", "inventory/shapes/SPBluetoothDataType-version-only.xml"},
        // Twelve device elements, none of them "address".
        Recorded{"blthdevices-empty-entry", "inventory/shapes/SPBluetoothDataType-empty-entry.xml"},
        Recorded{"firewall-string-item", "inventory/shapes/SPFirewallDataType-string-item.xml"}),
    [](const ::testing::TestParamInfo<Recorded>& info) {
      std::string name = info.param.expected;
      for (char& c : name) {
        if (c == '-') c = '_';
      }
      return name;
    });

}  // namespace
}  // namespace brim::test
