#include <gmock/gmock.h>

#include "ConfigSandbox.h"
#include "config/GlobalPreferences.h"
#include "config/WebPostGlobal.h"
#include "config/WebPostSetting.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;
using WebPosts = ConfigSandbox;

std::string machineSettings(const std::string& memberId, const std::string& agentTypeEntry) {
  return plistDocument("<key>controllerinfo</key><dict><key>memberid</key>" + memberId +
                       "<key>siteid</key><integer>7</integer></dict>"
                       "<key>machineinfo</key><dict><key>dcregid</key><integer>1234</integer>" +
                       agentTypeEntry + "</dict>");
}

// Flags stored as "YES", "1", "TRUE" or "No" read as such, with a log line.
TEST_F(WebPosts, LookupDecryptsTheSitesAndReadsTheFlags) {
  writeWebPosts(withEncryptedValues(readFile(kConfigFixtures + "webposts.plist.in")));
  std::unique_ptr<WebPostSetting> smart;
  const std::string log = stdoutOf([&] { smart = WebPostGlobal::getWebPostSettingForName("wpmacsmartsts"); });
  EXPECT_NE(log.find("-[WebPostSetting initWithDictionary:]:\"compression\" holds the string \"YES\"; read as true"),
            std::string::npos)
      << log;
  ASSERT_NE(smart, nullptr);
  EXPECT_EQ(smart->primarySite(), "https://post.example.net/agent/smart");
  EXPECT_EQ(smart->secondarySite(), "https://post2.example.net/agent/smart");
  EXPECT_EQ(smart->disasterRecovery(), "https://dr.example.net/agent/smart");
  EXPECT_TRUE(smart->compression());
  EXPECT_TRUE(smart->encryption());
  EXPECT_FALSE(smart->encryptXMLRootTag());

  const auto sysdtl = WebPostGlobal::getWebPostSettingForName("wpmacupdsysdtl");
  ASSERT_NE(sysdtl, nullptr);
  EXPECT_TRUE(sysdtl->encryptXMLRootTag());
  EXPECT_FALSE(sysdtl->disasterRecovery().has_value());

  EXPECT_THAT(stdoutOf([] { EXPECT_EQ(WebPostGlobal::getWebPostSettingForName("wpmacpradatahr"), nullptr); }),
              HasSubstr("+[WebPostGlobal getWebPostSettingForName:]:no web post named wpmacpradatahr"));
}

TEST_F(WebPosts, QueryStringNamesOnlyTheParametersTheWebPostAsksFor) {
  writeWebPosts(withEncryptedValues(readFile(kConfigFixtures + "webposts.plist.in")));
  writeSettings(machineSettings("<string>5</string>", "<key>agenttype</key><string>mac</string>"));
  GlobalPreferences prefs;
  GlobalPreferences::setStaticInstance(prefs);

  for (const auto& c : fixtureCases("config/webpost-queries.cases", 2)) {
    const auto webPost = WebPostGlobal::getWebPostSettingForName(c[0]);
    ASSERT_NE(webPost, nullptr) << c[0];
    EXPECT_EQ(webPost->GETDataURLSubString(prefs), c[1]) << c[0];
  }

  // A machine without an agent type still names the parameter; ids go in signed.
  writeSettings(machineSettings("<integer>-5</integer>", ""));
  GlobalPreferences::setStaticInstance(prefs);
  EXPECT_EQ(WebPostGlobal::getWebPostSettingForName("agenttypeonly")->GETDataURLSubString(prefs), "?at=");
  EXPECT_EQ(WebPostGlobal::getWebPostSettingForName("wpmacsmartsts")->GETDataURLSubString(prefs),
            "?mid=-5&sid=7&rid=1234&at=&ec=256&x=1");

  // Without a store of its own, the query takes its values from the shared one.
  GlobalPreferences::setStaticInstance(GlobalPreferences::getSharedInstance());
  EXPECT_EQ(WebPostGlobal::getWebPostSettingForName("emptymemberid")->GETDataURLSubString(), "?rid=1234");
}

TEST_F(WebPosts, EveryLookupReadsTheFileAfresh) {
  const std::string smart = "<key>wpmacsmartsts</key><dict><key>primarysite</key><string>";
  writeWebPosts(plistDocument(smart + encrypted("https://a.example.net/") + "</string></dict>"));
  EXPECT_EQ(WebPostGlobal::getWebPostSettingForName("wpmacsmartsts")->primarySite(), "https://a.example.net/");

  writeWebPosts(plistDocument(smart + encrypted("https://b.example.net/") + "</string></dict>"));
  EXPECT_EQ(WebPostGlobal::getWebPostSettingForName("wpmacsmartsts")->primarySite(), "https://b.example.net/");

  // No file: no web post. (A file the reader refuses, nested too deep, reads as
  // none: the property-list limits' test.)
  std::filesystem::remove(webPostsPath());
  EXPECT_EQ(WebPostGlobal::getWebPostSettingForName("wpmacsmartsts"), nullptr);
}

}  // namespace
}  // namespace brim::test
