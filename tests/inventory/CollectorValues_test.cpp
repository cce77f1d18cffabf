// The values the collectors write: sizes, dates, text forms, blanks and the
// time zone text of the software overview; and the two records behind the
// direct status reports, where the "-smartstatus" and "-macName" runs do not
// reach: drives missing, the last software item, a profiler without host name.
#include <gmock/gmock.h>

#include <filesystem>
#include <string>

#include "config/GlobalPreferences.h"
#include "config/RunFolder.h"
#include "inventory/ProfilerReplay.h"
#include "inventory/ProfilerValues.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"
#include "platform/Plist.h"
#include "platform/SystemTimeZone.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

// A value of a table: "(null)" stands for none.
RecordValue recordValue(const std::string& text) { return text == "(null)" ? RecordValue() : RecordValue(text); }

Plist parse(const std::string& value) {
  return parsePlist("<?xml version=\"1.0\"?><plist version=\"1.0\">" + value + "</plist>");
}

// One collector: a later unit wins, and text without a unit repeats the last result.
TEST(ByteValue, ScalesTheLeadingNumberByItsUnit) {
  collectData collector;
  EXPECT_EQ(collector.byteValue("1024"), std::nullopt);  // nothing converted yet
  for (const auto& c : fixtureCases("inventory/byte-values.cases", 2))
    EXPECT_EQ(collector.byteValue(recordValue(c[0])), c[1]) << c[0];
}

// One collector serves a whole document: a size without a unit in one category
// repeats the last size converted by an earlier one.
TEST(ByteValue, AUnitlessSizeRepeatsTheEarlierCategorysLastSize) {
  ProfilerReplay replay;
  replay.serve("SPHardwareDataType", "mac-a");
  replay.serveItems("SPDiscBurningDataType",
                    "<dict><key>_name</key><string>DVD</string>"
                    "<key>device_cache</key><string>2048</string></dict>");
  collectData collector = replay.collector();
  collector.collect(viewNamed("hardwareinfo"));
  EXPECT_NE(outline(collector.collect(viewNamed("discburning"))).find("    cache [8589934592]\n"), std::string::npos);
  EXPECT_EQ(collector.byteValueInString, "8589934592");
}

// The elements no profiler report fills stay absent even when a report
// happens to hold a key that once stood for them.
TEST(NeverReported, AnElementNoReportFillsStaysAbsentWhateverTheReportHolds) {
  ProfilerReplay replay;
  replay.serveItems("SPCardReaderDataType",
                    "<dict><key>spcardreader_revision-id</key><string>0x0101</string>"
                    "<key>nil</key><string>SERIAL-7</string></dict>");
  collectData collector = replay.collector();
  const std::string outlined = outline(collector.collect(viewNamed("sdcardreader")));
  EXPECT_NE(outlined.find("revision [0x0101]"), std::string::npos) << outlined;
  EXPECT_EQ(outlined.find("SERIAL-7"), std::string::npos) << outlined;
  EXPECT_NE(outlined.find("srlno"), std::string::npos) << outlined;
}

// Dates are written in the system time zone.
TEST(TextForms, ScalarsAndDatesAsTheDocumentsWriteThem) {
  for (const auto& c : fixtureCases("inventory/text-forms.cases", 2))
    EXPECT_EQ(textOf(parse(c[0]).get()), c[1]) << c[0];
  EXPECT_EQ(textOf(nullptr), std::nullopt);

  collectData collector;
  for (const auto& c : fixtureCases("inventory/dates.cases", 3)) {
    const TimeZone zone(c[0].c_str());
    EXPECT_EQ(collector.date(parse(c[1]).get()), recordValue(c[2])) << c[0] << ": " << c[1];
  }
  EXPECT_EQ(collector.date(nullptr), std::nullopt);
}

// Zero and +5:30 show in the time zone texts of the zone settings.
TEST(SystemTimeZoneText, FixedOffsetsAreDescribedLikeThePlatform) {
  for (const auto& c : fixtureCases("inventory/fixed-offsets.cases", 2))
    EXPECT_EQ(SystemTimeZone::fixedOffsetDescription(std::stoi(c[0])), c[1]);
}

// The zone's name comes from the system's settings, laid out in a sandbox: the
// local time link, then the name file, else UTC; garbage there is logged.
TEST(ZoneSettings, TheTimeZoneTextIsTheOffsetFollowedByTheZoneName) {
  BRIM_LINUX_ONLY("the zone settings as a Linux system keeps them under /etc");
  Sandbox sandbox;
  SandboxRoot root{sandbox};
  const std::string link = sandbox.root() + "/etc/localtime", nameFile = sandbox.root() + "/etc/timezone";
  std::filesystem::create_directories(sandbox.root() + "/etc");
  for (const auto& c : fixtureCases("inventory/zone-settings.cases", 4)) {
    std::filesystem::remove(link);
    std::filesystem::remove(nameFile);
    if (!c[1].empty()) std::filesystem::create_symlink(c[1], link);
    if (!c[2].empty()) writeFile(nameFile, c[2]);
    const TimeZone zone(c[0].c_str());
    EXPECT_EQ(SystemInfo::timeZone(), c[3]) << c[1] << ", " << c[2];
  }
  // The last case's garbage.
  const std::string log = stdoutOf([] { EXPECT_EQ(SystemTimeZone::identifier(), "UTC"); });
  EXPECT_NE(log.find("+[SystemTimeZone identifier]:time zone file names no zone"), std::string::npos) << log;
}

TEST(BlankPairs, EveryPairOfBlanksGoesAndSingleBlanksStay) {
  for (const auto& c : fixtureCases("inventory/blank-pairs.cases", 2))
    EXPECT_EQ(collectData::checkforExtraspace(recordValue(c[0])), recordValue(c[1])) << c[0];
}

class DirectRecords : public ::testing::Test {
 protected:
  void writeSettings(const std::string& machineName) {
    sandbox.writeSettings(4711, "", "\t\t<key>machinename</key>\n\t\t<string>" + machineName + "</string>\n");
    GlobalPreferences::setStaticInstance(GlobalPreferences::getSharedInstance());
  }
  // A rewrite of the settings file gives it a new modification time.
  auto settingsWritten() const { return std::filesystem::last_write_time(sandbox.path("config/settings.plist")); }
  // A software overview item as the profiler reports it.
  static std::string softwareItem(const std::string& hostName, const std::string& os) {
    return "<dict><key>kernel_version</key><string>Darwin 21.6.0</string><key>local_host_name</key><string>" +
           hostName + "</string><key>os_version</key><string>" + os + "</string></dict>";
  }
  // The collectors left nothing in the run's own temporary folder.
  static bool temporaryFolderEmpty() { return std::filesystem::is_empty(RunFolder::path()); }

  Sandbox sandbox;
  SandboxInProcess inProcess{sandbox};
  ProfilerReplay replay;
};

TEST_F(DirectRecords, DiskDetailsOfAControllerWithoutDrivesOrOfNoControllerAreAbsent) {
  writeSettings("mac-a");
  replay.serveItems("SPSerialATADataType",
                    "<dict><key>_name</key><string>Intel</string><key>spsata_portdescription</key>"
                    "<string>AHCI Version 1.30 Supported</string><key>_items</key><array/></dict>");
  DiskInfo disk = collectData().getDiskDetails();
  EXPECT_EQ(disk.description, "AHCI Version 1.30 Supported");
  EXPECT_EQ(disk.model, std::nullopt);
  EXPECT_EQ(disk.smartStatus, std::nullopt);

  for (const std::string answer : {"", "not a property list"}) {
    replay.serveText("SPSerialATADataType", answer);
    disk = collectData().getDiskDetails();
    EXPECT_EQ(disk.description, std::nullopt);
    EXPECT_EQ(disk.diskBSDName, std::nullopt);
  }
  EXPECT_TRUE(temporaryFolderEmpty());
}

// The details take the last item. Whether the name is stored is shown by the
// "-macName" runs; a profiler without host name leaves the stored name alone.
TEST_F(DirectRecords, MachineDetailsTakeTheLastItemAndWithoutHostNameLeaveTheStoredNameAlone) {
  writeSettings("old-name");
  replay.serveItems("SPSoftwareDataType",
                    softwareItem("first-item", "macOS 11") + softwareItem("new-name", "macOS 12.6"));
  SystemInfo details = collectData().getMacDetailsData();
  EXPECT_EQ(details.compName, "new-name");
  EXPECT_EQ(details.systemVer, "macOS 12.6");
  EXPECT_EQ(details.kernelVer, "Darwin 21.6.0");
  EXPECT_THAT(replay.calls(), ::testing::ElementsAre("system_profiler SPSoftwareDataType -xml >" + RunFolder::path() +
                                                     "/autodelete_SPsoftwareDataTypeMACDtls.plist"));
  EXPECT_TRUE(temporaryFolderEmpty());

  const auto before = settingsWritten();
  replay.serveItems("SPSoftwareDataType", "<dict><key>os_version</key><string>macOS 12.6</string></dict>");
  const std::string log = stdoutOf([&] { details = collectData().getMacDetailsData(); });
  EXPECT_EQ(details.compName, std::nullopt);
  EXPECT_EQ(details.systemVer, "macOS 12.6");
  EXPECT_THAT(log, ::testing::Not(::testing::HasSubstr("No Change in Mac Name")));
  EXPECT_EQ(settingsWritten(), before);
  EXPECT_EQ(GlobalPreferences::getSharedInstance().machineInfo().machineName(), "new-name");
}

}  // namespace
}  // namespace brim::test
