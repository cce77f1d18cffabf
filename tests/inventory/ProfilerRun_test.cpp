// How every category runs the profiler, and what it does when the profiler
// is missing, fails or writes something that is not a report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/ProfilerReplay.h"
#include "inventory/collectData.h"

namespace brim::test {
namespace {

// The subtree of a category without records; the locations write nothing at all.
std::string emptyCategory(const Collector& category) {
  if (std::string(category.category) == "locations") return "fn\n";
  return std::string("fn\n  fnname \"") + category.category + "\"\n";
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

std::string nestedReport(size_t levels) {
  return "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict><key>_items</key><array><dict><key>_name</key>" +
         nestedArrays(levels) + "</dict></array></dict></array></plist>";
}

TEST(ProfilerRun, EveryCategoryWithoutAUsableReportIsEmpty) {
  const std::vector<std::string> garbage{
      nestedReport(300),
      nestedReport(200000),
      "",  // no output at all
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
    for (const Collector& category : allCollectors()) replay.serveText(category.dataType, text);
    collectData collector = replay.collector();
    for (const Collector& category : allCollectors()) {
      EXPECT_EQ(outline((collector.*category.collect)()), emptyCategory(category))
          << category.category << " from " << text;
    }
    // Categories sharing a data type each run the profiler, and each removes its file.
    EXPECT_EQ(replay.calls().size(), allCollectors().size());
    EXPECT_TRUE(replay.filesLeftInDataDir().empty());
  }
}

TEST(ProfilerRun, ADataDirectoryThatDoesNotExistGivesEmptyCategories) {
  ProfilerReplay replay;
  replay.serve("SPHardwareDataType", "macos/mac-a/SPHardwareDataType.xml");
  collectData collector;
  collector.dataDir = replay.dataDir() + "/missing";
  EXPECT_EQ(outline(collector.getHardwareInfo()), "fn\n  fnname \"hardwareinfo\"\n");
}

// The collectors that count what they read log the counts, Bluetooth services
// once while reading and once while writing.
TEST(ProfilerRun, CountsAreLogged) {
  ProfilerReplay replay;
  replay.serve("SPUSBDataType", "inventory/shapes/SPUSBDataType-nested.xml");
  replay.serve("SPBluetoothDataType", "inventory/SPBluetoothDataType-paired.xml");
  for (const std::string type : {"SPCardReaderDataType", "SPDiscBurningDataType", "SPNetworkDataType"}) {
    replay.serve(type, "macos/mac-a/" + type + ".xml");
  }
  collectData collector = replay.collector();
  ::testing::internal::CaptureStdout();
  for (const char* category :
       {"usbinfo", "blthservices", "blthdevices", "sdcardreader", "discburning", "networkinfo"}) {
    (collector.*collectorOf(category).collect)();
  }
  const std::string log = ::testing::internal::GetCapturedStdout();
  const std::string usb = "-[collectData getUSBInfo]:", services = "-[collectData getBlueToothServices]:";
  for (const std::string& lines :
       {usb + "bus count:2\n" + usb + "device count:2\n" + usb + "device count:3\n" + usb + "device count:0\n",
        services + "getBlueToothServices\n" + services + "2\n" + services + "2\n" + services + "3\n" + services + "3\n",
        std::string("-[collectData getBlueToothDevices]:blueToothDevArray 2\n"),
        std::string("-[collectData getCardreaderInfo]:count:1\n"),
        std::string("-[collectData getDiscBurninginfo]:disc count:1\n-[collectData "
                    "getDiscBurninginfo]:discBurnDataDictionary "),
        std::string("-[collectData getNetwokInfo]:network count:5\n")}) {
    EXPECT_NE(log.find(lines), std::string::npos) << lines << "\n---\n" << log;
  }
}

}  // namespace
}  // namespace brim::test
