// How every category runs the profiler, and what it does when the profiler
// is missing, fails or writes something that is not a report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/ProfilerReplay.h"
#include "inventory/collectData.h"

namespace brim::test {
namespace {

struct Operation {
  const char* dataType;
  const char* categoryName;
  XMLTree (collectData::*collect)();
};

const std::vector<Operation>& allOperations() {
  static const std::vector<Operation> operations{
      {"SPMemoryDataType", "memoryinfo", &collectData::getMemoryInfo},
      {"SPHardwareDataType", "hardwareinfo", &collectData::getHardwareInfo},
      {"SPFirewallDataType", "firewall", &collectData::getFirewallInfo},
      {"SPEthernetDataType", "ethernetcrdinfo", &collectData::getEthernetInfo},
      {"SPSerialATADataType", "diskinfo", &collectData::getDiskInfo},
      {"SPNetworkVolumeDataType", "sharedvolinfo", &collectData::getSharedVolInfo},
      {"SPCardReaderDataType", "sdcardreader", &collectData::getCardreaderInfo},
      {"SPDiagnosticsDataType", "selftest", &collectData::getSelfTestInfo},
      {"SPDiscBurningDataType", "discburning", &collectData::getDiscBurninginfo},
      {"SPPowerDataType", "power", &collectData::getPowerInfo},
      {"SPPowerDataType", "hardwareconfig", &collectData::getHWConfigInfo},
      {"SPThunderboltDataType", "osinfo", &collectData::getOSInfo},
      {"SPDisplaysDataType", "graphicinfo", &collectData::getGraphicInfo},
      {"SPBluetoothDataType", "blthhardwareinfo", &collectData::getBlueToothHardWareInfo},
      {"SPBluetoothDataType", "blthservices", &collectData::getBlueToothServices},
      {"SPBluetoothDataType", "blthdevices", &collectData::getBlueToothDevices},
      {"SPNetworkDataType", "networkinfo", &collectData::getNetwokInfo},
      {"SPNetworkLocationDataType", "locations", &collectData::getLocationsInfo},
      {"SPSoftwareDataType", "systeminfo", &collectData::getSystemInfo},
      {"SPApplicationsDataType", "applicationinfo", &collectData::getApplicationInfo},
      {"SPUSBDataType", "usbinfo", &collectData::getUSBInfo},
  };
  return operations;
}

// The subtree of a category without records; the locations write nothing at all.
std::string emptyCategory(const Operation& operation) {
  if (std::string(operation.categoryName) == "locations") return "fn\n";
  return std::string("fn\n  fnname \"") + operation.categoryName + "\"\n";
}

TEST(ProfilerRun, RunsTheExactCommandAndRemovesItsFile) {
  ProfilerReplay replay;
  replay.serve("SPMemoryDataType", "macos/mac-a/SPMemoryDataType.xml");
  collectData collector = replay.collector();
  ::testing::internal::CaptureStdout();
  collector.getMemoryInfo();
  collector.getSystemInfo();
  const std::string log = ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(replay.calls(),
            (std::vector<std::string>{
                "system_profiler SPMemoryDataType -xml >" + replay.dataDir() + "/autodelete_SPMemoryDataType.plist",
                "system_profiler SPSoftwareDataType -xml >" + replay.dataDir() + "/autodelete_SPsoftwareDataType.plist",
            }));
  EXPECT_TRUE(replay.filesLeftInDataDir().empty());
  EXPECT_NE(log.find("-[collectData getMemoryInfo]:getMemoryInfo\n"), std::string::npos) << log;
  EXPECT_NE(log.find("-[collectData getSystemInfo]:getSystemInfo\n"), std::string::npos) << log;
}

TEST(ProfilerRun, CategoriesSharingADataTypeEachRunTheProfiler) {
  ProfilerReplay replay;
  collectData collector = replay.collector();
  collector.getPowerInfo();
  collector.getHWConfigInfo();
  collector.getBlueToothHardWareInfo();
  collector.getBlueToothServices();
  collector.getBlueToothDevices();
  const auto calls = replay.calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[1],
            "system_profiler SPPowerDataType -xml >" + replay.dataDir() + "/autodelete_SPPowerDataType.plist");
  EXPECT_EQ(calls[4],
            "system_profiler SPBluetoothDataType -xml >" + replay.dataDir() + "/autodelete_SPBluetoothDataType.plist");
}

TEST(ProfilerRun, EveryCategoryWithoutProfilerOutputIsEmpty) {
  ProfilerReplay replay;  // answers nothing: an empty file
  collectData collector = replay.collector();
  for (const Operation& operation : allOperations()) {
    EXPECT_EQ(outline((collector.*operation.collect)()), emptyCategory(operation)) << operation.categoryName;
  }
  EXPECT_TRUE(replay.filesLeftInDataDir().empty());
}

TEST(ProfilerRun, EveryCategoryWithGarbageOutputIsEmpty) {
  const std::vector<std::string> garbage{
      "system_profiler: command failed\n",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict><key>_items</key><array><dict>",     // cut short
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>_items</key><array/></dict></plist>",  // not an array
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>",                                // no element
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict><key>_items</key><array/></dict></array></plist>",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>",
      std::string("bplist00\xff\xff\x01\x02", 12),
  };
  for (const std::string& text : garbage) {
    ProfilerReplay replay;
    for (const Operation& operation : allOperations()) replay.serveText(operation.dataType, text);
    collectData collector = replay.collector();
    for (const Operation& operation : allOperations()) {
      EXPECT_EQ(outline((collector.*operation.collect)()), emptyCategory(operation))
          << operation.categoryName << " from " << text;
    }
  }
}

TEST(ProfilerRun, ItemsOfTheWrongTypeGiveRecordsOfNulls) {
  ProfilerReplay replay;
  replay.serveItems("SPFirewallDataType", "<string>not a dictionary</string>");
  replay.serveItems("SPSerialATADataType", "<dict><key>_items</key><string>no drives here</string></dict>");
  collectData collector = replay.collector();
  EXPECT_EQ(outline(collector.getFirewallInfo()),
            "fn\n  fnname \"firewall\"\n  dtl ID=0\n    mode [(null)]\n    frwallog [(null)]\n    stlmode [(null)]\n");
  const std::string disks = outline(collector.getDiskInfo());
  EXPECT_NE(disks.find("  dtl ID=0\n    vendor [(null)]\n"), std::string::npos);
  EXPECT_NE(disks.find("    capacity [0]\n"), std::string::npos);
  EXPECT_EQ(disks.find("vol"), std::string::npos);
}

TEST(ProfilerRun, ADataDirectoryThatDoesNotExistGivesEmptyCategories) {
  ProfilerReplay replay;
  replay.serve("SPHardwareDataType", "macos/mac-a/SPHardwareDataType.xml");
  collectData collector;
  collector.dataDir = replay.dataDir() + "/missing";
  EXPECT_EQ(outline(collector.getHardwareInfo()), "fn\n  fnname \"hardwareinfo\"\n");
}

// The whole serialised form of one category: CDATA values, numbered records.
TEST(ProfilerRun, FirewallSerialisesAsCdataElements) {
  ProfilerReplay replay;
  replay.serve("SPFirewallDataType", "macos/mac-a/SPFirewallDataType.xml");
  collectData collector = replay.collector();
  const std::string text = collector.getFirewallInfo().XMLString();
  EXPECT_NE(text.find("<fn><fnname>firewall</fnname><dtl ID=\"0\"><mode><![CDATA[spfirewall_globalstate_allow_all]]>"
                      "</mode><frwallog><![CDATA[Yes]]></frwallog><stlmode><![CDATA[No]]></stlmode></dtl></fn>"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace brim::test
