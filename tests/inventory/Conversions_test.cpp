// The value conversions of the collectors: sizes, dates, text forms, and the
// time zone text of the software overview.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "inventory/ProfilerReplay.h"
#include "inventory/ProfilerValues.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"
#include "platform/Paths.h"
#include "platform/Plist.h"
#include "platform/SystemTimeZone.h"

namespace brim::test {
namespace {

Plist parse(const std::string& value) {
  return parsePlist("<?xml version=\"1.0\"?><plist version=\"1.0\">" + value + "</plist>");
}

TEST(ByteValue, ScalesTheLeadingIntegerByItsUnit) {
  collectData collector;
  EXPECT_EQ(collector.byteValue("8 GB"), "8589934592");
  EXPECT_EQ(collector.byteValue("512 KB"), "524288");
  EXPECT_EQ(collector.byteValue("256 KB"), "262144");
  EXPECT_EQ(collector.byteValue("4096 MB"), "4294967296");
  EXPECT_EQ(collector.byteValue("1.5 TB"), "1099511627776");
  EXPECT_EQ(collector.byteValue("499.25 GB"), "535797170176");
  EXPECT_EQ(collector.byteValue("97,34 GB"), "104152956928");  // a decimal comma stops the number too
  EXPECT_EQ(collector.byteValue("  12 MB"), "12582912");
  EXPECT_EQ(collector.byteValue("GB"), "0");
  EXPECT_EQ(collector.byteValue(std::nullopt), "0");
}

TEST(ByteValue, LaterUnitsWinAndUnitlessTextKeepsTheLastResult) {
  collectData collector;
  EXPECT_EQ(collector.byteValue("1024"), std::nullopt);  // nothing converted yet
  EXPECT_EQ(collector.byteValue("1 TB 2 KB"), "1099511627776");
  EXPECT_EQ(collector.byteValue("3 KB 2 MB"), "3145728");
  EXPECT_EQ(collector.byteValue("250059350016"), "3145728");
  EXPECT_EQ(collector.byteValue("99999999999 TB"), "-1099511627776");  // past 64 bits it wraps
}

// One collector serves a whole document: a size without a unit in one category
// repeats the last size converted by an earlier one.
TEST(ByteValue, AUnitlessSizeRepeatsTheEarlierCategorysLastSize) {
  ProfilerReplay replay;
  replay.serve("SPHardwareDataType", "macos/mac-a/SPHardwareDataType.xml");
  replay.serveItems("SPDiscBurningDataType",
                    "<dict><key>_name</key><string>DVD</string>"
                    "<key>device_cache</key><string>2048</string></dict>");
  collectData collector = replay.collector();
  collector.getHardwareInfo();
  EXPECT_NE(outline(collector.getDiscBurninginfo()).find("    cache [8589934592]\n"), std::string::npos);
  EXPECT_EQ(collector.byteValueInString, "8589934592");
}

class InTimeZone : public ::testing::Test {
 protected:
  void use(const char* zone) {
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  void TearDown() override { use("UTC"); }
};

TEST_F(InTimeZone, DatesAreWrittenInTheSystemTimeZone) {
  collectData collector;
  const Plist date = parse("<date>2013-05-02T14:07:09Z</date>");
  use("UTC");
  EXPECT_EQ(collector.date(date.get()), "2013-05-02 14:07:09");
  use("Europe/Berlin");
  EXPECT_EQ(collector.date(date.get()), "2013-05-02 16:07:09");
  EXPECT_EQ(collector.date(nullptr), std::nullopt);
  EXPECT_EQ(collector.date(parse("<string>2013-05-02</string>").get()), std::nullopt);
}

TEST(TextForms, ScalarsAsTheDocumentsWriteThem) {
  EXPECT_EQ(textOf(parse("<string> spaced </string>").get()), " spaced ");
  EXPECT_EQ(textOf(parse("<integer>-1</integer>").get()), "-1");
  EXPECT_EQ(textOf(parse("<integer>157680000</integer>").get()), "157680000");
  EXPECT_EQ(textOf(parse("<real>0.5</real>").get()), "0.5");
  EXPECT_EQ(textOf(parse("<real>2</real>").get()), "2");
  EXPECT_EQ(textOf(parse("<real>0.0030600428581237793</real>").get()), "0.0030600428581237793");
  EXPECT_EQ(textOf(parse("<true/>").get()), "1");
  EXPECT_EQ(textOf(parse("<false/>").get()), "0");
  EXPECT_EQ(textOf(nullptr), std::nullopt);
}

TEST(TextForms, ListJoinsAndFirstElements) {
  const Plist list = parse("<array><string>*.local</string><string>169.254/16</string><integer>7</integer></array>");
  EXPECT_EQ(joinedWithComma(list.get()), "*.local,169.254/16,7");
  EXPECT_EQ(joinedWithComma(parse("<array/>").get()), "");
  EXPECT_EQ(joinedWithComma(nullptr), "");
  EXPECT_EQ(firstElementText(list.get()), "*.local");
  EXPECT_EQ(firstElementText(parse("<array/>").get()), std::nullopt);
  EXPECT_EQ(firstElementText(parse("<string>x</string>").get()), std::nullopt);
}

TEST(TextForms, DictionaryKeysInTheFilesOrder) {
  const Plist dict = parse("<dict><key>zeta</key><string>1</string><key>alpha</key><string>2</string></dict>");
  EXPECT_EQ(keyAt(dict.get(), 0), "zeta");
  EXPECT_EQ(keyAt(dict.get(), 1), "alpha");
  EXPECT_EQ(keyAt(dict.get(), 2), std::nullopt);
  EXPECT_EQ(keyAt(parse("<dict/>").get(), 0), std::nullopt);
  EXPECT_EQ(keyAt(parse("<array/>").get(), 0), std::nullopt);
}

TEST(SystemTimeZoneText, FixedOffsetsAreDescribedLikeThePlatform) {
  EXPECT_EQ(SystemTimeZone::fixedOffsetDescription(0), "GMT (GMT) offset 0");
  EXPECT_EQ(SystemTimeZone::fixedOffsetDescription(3600), "GMT+0100 (GMT+1) offset 3600");
  EXPECT_EQ(SystemTimeZone::fixedOffsetDescription(-18000), "GMT-0500 (GMT-5) offset -18000");
  EXPECT_EQ(SystemTimeZone::fixedOffsetDescription(19800), "GMT+0530 (GMT+5:30) offset 19800");
  EXPECT_EQ(SystemTimeZone::fixedOffsetDescription(-34200), "GMT-0930 (GMT-9:30) offset -34200");
  EXPECT_EQ(SystemTimeZone::fixedOffsetDescription(20700), "GMT+0545 (GMT+5:45) offset 20700");
}

// The zone's name comes from the system's settings, laid out here under a
// private root the way the sandbox lays out the agent's installation.
class ZoneSettings : public InTimeZone {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brim_zone_XXXXXX";
    root_ = ::mkdtemp(pattern);
    std::filesystem::create_directories(root_ + "/etc");
    saved_ = Paths::sandboxRoot();
    Paths::setSandboxRoot(root_);
  }
  void TearDown() override {
    Paths::setSandboxRoot(saved_);
    std::filesystem::remove_all(root_);
    InTimeZone::TearDown();
  }
  void linkLocalTime(const std::string& target) { std::filesystem::create_symlink(target, root_ + "/etc/localtime"); }
  std::string root_;
  std::string saved_;
};

TEST_F(ZoneSettings, NameFromTheLocalTimeLinkThenTheNameFileElseUTC) {
  EXPECT_EQ(SystemTimeZone::identifier(), "UTC");

  writeFile(root_ + "/etc/timezone", "America/New_York\n");
  EXPECT_EQ(SystemTimeZone::identifier(), "America/New_York");

  linkLocalTime("/usr/share/zoneinfo/posix/Europe/Berlin");
  EXPECT_EQ(SystemTimeZone::identifier(), "Europe/Berlin");
}

TEST_F(ZoneSettings, GarbageSettingsAreLoggedAndFallBackToUTC) {
  writeFile(root_ + "/etc/timezone", std::string("\x01\x02../../etc/passwd\n", 20));
  linkLocalTime("/nowhere/in/particular");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(SystemTimeZone::identifier(), "UTC");
  const std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("+[SystemTimeZone identifier]:time zone file names no zone"), std::string::npos) << log;
}

TEST_F(ZoneSettings, TimeZoneTextIsTheOffsetFollowedByTheZoneName) {
  linkLocalTime("/usr/share/zoneinfo/Asia/Kolkata");
  use("Asia/Kolkata");
  EXPECT_EQ(SystemInfo::timeZone(), "GMT+0530 (GMT+5:30) Asia/Kolkata");

  std::filesystem::remove(root_ + "/etc/localtime");
  use("UTC");
  EXPECT_EQ(SystemInfo::timeZone(), "GMT (GMT) UTC");
}

}  // namespace
}  // namespace brim::test
