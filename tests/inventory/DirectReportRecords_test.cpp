// The two records behind the direct status reports, where the "-smartstatus"
// and "-macName" runs do not reach: drives missing, the last software item, a
// profiler without host name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "config/GlobalPreferences.h"
#include "config/RunFolder.h"
#include "inventory/ProfilerReplay.h"
#include "inventory/collectData.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(BlankPairs, EveryPairOfBlanksGoesAndSingleBlanksStay) {
  const std::pair<RecordValue, RecordValue> cases[] = {
      {"TOSHIBA MK7559GSXF                      ", "TOSHIBA MK7559GSXF"},
      {"MATSHITADVD-R   UJ-8A8", "MATSHITADVD-R UJ-8A8"},
      {"A  B", "AB"},
      {"A    B", "AB"},
      {"A     B", "A B"},
      {" single blanks stay ", " single blanks stay "},
      {"", ""},
      {std::nullopt, std::nullopt},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(collectData::checkforExtraspace(text), expected);
}

class DirectRecords : public ::testing::Test {
 protected:
  void writeSettings(const std::string& machineName) {
    sandbox.writeSettings(4711, "", "\t\t<key>machinename</key>\n\t\t<string>" + machineName + "</string>\n");
    GlobalPreferences::setStaticInstance(GlobalPreferences::getSharedInstance());
  }
  // The settings file's inode and modification time: a rewrite changes one of them.
  std::pair<ino_t, long> settingsFileIdentity() const {
    struct stat info {};
    ::stat(sandbox.path("config/settings.plist").c_str(), &info);
    return {info.st_ino, info.st_mtim.tv_nsec + info.st_mtim.tv_sec * 1'000'000'000L};
  }
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

  const auto before = settingsFileIdentity();
  replay.serveItems("SPSoftwareDataType", "<dict><key>os_version</key><string>macOS 12.6</string></dict>");
  ::testing::internal::CaptureStdout();
  details = collectData().getMacDetailsData();
  const std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(details.compName, std::nullopt);
  EXPECT_EQ(details.systemVer, "macOS 12.6");
  EXPECT_THAT(log, Not(HasSubstr("No Change in Mac Name")));
  EXPECT_EQ(settingsFileIdentity(), before);
  EXPECT_EQ(GlobalPreferences::getSharedInstance().machineInfo().machineName, "new-name");
}

}  // namespace
}  // namespace brim::test
