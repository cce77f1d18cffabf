// Whole "-smartstatus" and "-macName" runs against a web-post server on loopback:
// what reaches the server, which site is chosen, how often it is asked, and
// what is left behind when the network is down.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <pugixml.hpp>
#include <regex>
#include <sstream>

#include "config/SectionFields.h"
#include "envelope/CompressChilkat.h"
#include "envelope/EncryptionAES.h"
#include "support/LoopbackPeers.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct Envelope {
  bool compression = false;
  bool encryption = false;
  bool encryptXMLRootTag = false;
};

void PrintTo(const Envelope& envelope, std::ostream* out) {
  *out << "compression " << envelope.compression << ", encryption " << envelope.encryption << ", root tag "
       << envelope.encryptXMLRootTag;
}

std::string plistBool(bool value) { return value ? "<true/>" : "<false/>"; }

std::string encryptedSite(const std::string& site) {
  return "<string>" + EncryptionAES().encryptChilkat(site, sharedPassPhrase()) + "</string>";
}

// The root element alone, without declaration or white space between elements.
std::string rootElementText(const std::string& document) {
  pugi::xml_document parsed;
  if (!parsed.load_string(document.c_str(), pugi::parse_default | pugi::parse_cdata)) {
    ADD_FAILURE() << "not a document: " << document;
    return {};
  }
  std::ostringstream out;
  parsed.document_element().print(out, "", pugi::format_raw);
  return out.str();
}

// The SMART report as the server received it, with the envelope taken off again.
std::string openEnvelope(const std::string& body, const Envelope& envelope) {
  std::string text = body;
  if (envelope.encryption) {
    static const std::regex enclosed("<wpmacsmartsts>([A-Za-z0-9+/=]*)</wpmacsmartsts>");
    std::smatch match;
    if (!std::regex_match(body, match, enclosed)) {
      ADD_FAILURE() << "not an encrypted envelope: " << body;
      return {};
    }
    text = EncryptionAES().decryptChilkat(match[1].str(), sharedPassPhrase());
    // Without the root tag only what lay between the root's tags was encrypted.
    if (!envelope.encryptXMLRootTag) text = "<wpmacsmartsts>" + text + "</wpmacsmartsts>";
  }
  if (envelope.compression) text = CompressChilkat().deCompressChilkat(text);
  return text;
}

class DirectReportRun : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox.writeBuildDate();
    sandbox.writeRouteTable(true);
    std::filesystem::create_directories(profilerDir());
    std::filesystem::copy_file(fixture("macos/mac-a/SPSerialATADataType.xml"),
                               profilerDir() + "/SPSerialATADataType.xml");
    sandbox.replayProfilerFrom(profilerDir());
    writeSettings("mac-a", false);
  }

  std::string profilerDir() const { return sandbox.root() + "/profiler"; }
  void writeSettings(const std::string& machineName, bool reportToDR) const {
    sandbox.writeSettings(4711,
                          "\t<key>datatodisasterrecovery</key>\n\t<dict>\n\t\t<key>reporttodr</key>\n\t\t" +
                              plistBool(reportToDR) + "\n\t</dict>\n",
                          "\t\t<key>machinename</key>\n\t\t<string>" + machineName + "</string>\n");
  }
  // One web post of the given name whose sites are paths on the loopback server.
  void writeWebPost(const std::string& name, const Envelope& envelope, const std::string& primary = "/primary",
                    const std::string& secondary = "/secondary", const std::string& disasterRecovery = "/dr") const {
    writeFile(sandbox.path("config/webposts.plist"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n<key>" + name +
                  "</key><dict>" + "<key>primarysite</key>" + encryptedSite(server.url(primary)) +
                  "<key>secondarysite</key>" + encryptedSite(server.url(secondary)) + "<key>disasterrecovery</key>" +
                  encryptedSite(server.url(disasterRecovery)) + "<key>compression</key>" +
                  plistBool(envelope.compression) + "<key>encryption</key>" + plistBool(envelope.encryption) +
                  "<key>encryptxmlroottag</key>" + plistBool(envelope.encryptXMLRootTag) +
                  "<key>getdata</key><dict><key>regid</key><string>rid</string></dict></dict>\n</dict>\n</plist>\n");
  }
  // The server answers the next requests in turn with these bodies, then with "ACK".
  void answerWith(std::vector<std::string> bodies) {
    std::lock_guard lock(mutex);
    answers = std::move(bodies);
    answered = 0;
  }
  static std::string loggedReport(const std::string& log) {
    const std::string mark = ":xml string = ";
    const auto start = log.find(mark);
    if (start == std::string::npos) return {};
    const auto end = log.find("</wpmac", start);
    return log.substr(start + mark.size(), log.find('>', end) + 1 - start - mark.size());
  }

  Sandbox sandbox;
  std::mutex mutex;
  std::vector<std::string> answers;
  std::size_t answered = 0;
  LoopbackHttpServer server{[this](httplib::Server& routes) {
    routes.Post(".*", [this](const httplib::Request&, httplib::Response& response) {
      std::lock_guard lock(mutex);
      response.set_content(answered < answers.size() ? answers[answered] : "ACK", "text/plain");
      ++answered;
    });
  }};
};

class SmartStatusEnvelope : public DirectReportRun, public ::testing::WithParamInterface<Envelope> {};

TEST_P(SmartStatusEnvelope, TheServerGetsTheReportBackOutOfItsEnvelope) {
  BRIM_REQUIRE_ROOT();
  const Envelope envelope = GetParam();
  writeWebPost("wpmacsmartsts", envelope);
  const RunResult result = sandbox.run({"-smartstatus"});
  EXPECT_EQ(result.exitStatus, 0) << result.output;

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u) << result.output;
  EXPECT_EQ(requests[0].target, envelope.encryption ? "/primary?rid=4711&ec=256" : "/primary?rid=4711");
  const std::string report = openEnvelope(requests[0].body, envelope);
  if (!envelope.compression && !envelope.encryption) {
    EXPECT_EQ(requests[0].body, loggedReport(result.output));
  }
  // Decompression restores the document laid out anew: the same elements, other white space.
  EXPECT_EQ(rootElementText(report), rootElementText(loggedReport(result.output)));

  // The first controller's first drive, its model without the blank padding.
  EXPECT_EQ(std::regex_replace(rootElementText(report), std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d)"), "<time>"),
            "<wpmacsmartsts><regid>4711</regid><scandttime><time></scandttime><modelname><![CDATA[TOSHIBA MK7559GSXF]]>"
            "</modelname><modeldesc><![CDATA[AHCI Version 1.30 Supported]]></modeldesc><bsdname><![CDATA[disk0]]>"
            "</bsdname><status><![CDATA[Verified]]></status></wpmacsmartsts>");

  EXPECT_THAT(result.output, HasSubstr("-[ConsolidatedAssets collectSmartStatus]:Response is = ACK\n"));
  // Reachable: the report went out and nothing is kept.
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
}

INSTANTIATE_TEST_SUITE_P(Flags, SmartStatusEnvelope,
                         ::testing::Values(Envelope{false, false, false}, Envelope{true, false, false},
                                           Envelope{false, true, true}, Envelope{false, true, false},
                                           Envelope{true, true, true}, Envelope{true, true, false}));

TEST_F(DirectReportRun, OneSiteIsAskedUntilItAnswersAndAnUnansweredReportIsSaved) {
  BRIM_REQUIRE_ROOT();
  // The disaster-recovery site when the settings say so; a blank in its path is escaped.
  writeWebPost("wpmacsmartsts", {}, "/primary", "/secondary", "/disaster recovery");
  writeSettings("mac-a", true);
  RunResult result = sandbox.run({"-smartstatus"});
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u) << result.output;
  EXPECT_EQ(requests[0].target, "/disaster%20recovery?rid=4711");

  // Else the primary: an empty answer is followed by exactly one more attempt.
  writeSettings("mac-a", false);
  answerWith({""});
  result = sandbox.run({"-smartstatus"});
  requests = server.requests();
  ASSERT_EQ(requests.size(), 3u) << result.output;
  EXPECT_EQ(requests[1].body, requests[2].body);
  EXPECT_THAT(result.output, Not(HasSubstr("Retry Count=2")));
  EXPECT_THAT(result.output,
              HasSubstr("-[ConsolidatedAssets sendXML:toWebPost:withEncryptionKey:]:commResponse=ACK\n"));
  EXPECT_TRUE(sandbox.listDir("datapost").empty());

  // Nothing in three attempts does not send the report to the secondary site;
  // it is saved for the uploader although the network is up.
  answerWith({"", "", ""});
  result = sandbox.run({"-smartstatus"});
  EXPECT_EQ(result.exitStatus, 0);
  requests = server.requests();
  ASSERT_EQ(requests.size(), 6u) << result.output;
  for (std::size_t i = 1; i < requests.size(); ++i) EXPECT_EQ(requests[i].target, "/primary?rid=4711");
  EXPECT_THAT(result.output, HasSubstr("-[ConsolidatedAssets collectSmartStatus]:No Response\n"));
  EXPECT_THAT(result.output, HasSubstr("-[ConsolidatedAssets writeSmartStatusForDataPost]:No answer from the server; "
                                       "saving the report for the uploader\n"));
  const auto files = sandbox.listDir("datapost");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(readFile(sandbox.path("datapost/" + files[0])), loggedReport(result.output));

  // Without a web post of the report's name nothing is sent, and the report is saved.
  std::filesystem::remove(sandbox.path("datapost/" + files[0]));
  writeWebPost("someotherpost", {});
  result = sandbox.run({"-smartstatus"});
  EXPECT_EQ(server.requests().size(), 6u);
  EXPECT_THAT(result.output,
              HasSubstr("-[ConsolidatedAssets sendXML:toWebPost:withEncryptionKey:]:commResponse=(null)\n"));
  EXPECT_EQ(sandbox.listDir("datapost").size(), 1u);
}

// The proxy of the settings, credentials included, is tried first: the
// proxied post is the one without a Content-Type.
TEST_F(DirectReportRun, TheSettingsProxyCarriesThePost) {
  BRIM_REQUIRE_ROOT();
  Tinyproxy proxy({{"agent", "s3cret"}});
  ASSERT_TRUE(proxy.running());
  writeWebPost("wpmacsmartsts", {});
  sandbox.writeSettings(4711,
                        "\t<key>proxysettings</key>\n\t<dict>\n\t\t<key>proxyip</key><string>127.0.0.1</string>"
                        "<key>proxyport</key><integer>" +
                            std::to_string(proxy.port()) + "</integer><key>proxyusername</key>" +
                            encryptedSite("agent") + "<key>proxypassword</key>" + encryptedSite("s3cret") +
                            "\n\t</dict>\n");
  const RunResult result = sandbox.run({"-smartstatus"});
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u) << result.output;
  EXPECT_EQ(requests[0].header("Content-Type"), std::nullopt) << result.output;
  EXPECT_THAT(result.output, HasSubstr("using proxyip=127.0.0.1 port=" + std::to_string(proxy.port()) + "\n"));
}

TEST_F(DirectReportRun, UnreachableNetworkKeepsThePlainReportAndFailsOnlyWhenItCannotBeWritten) {
  BRIM_REQUIRE_ROOT();
  writeWebPost("wpmacsmartsts", {true, true, false});
  sandbox.writeRouteTable(true, "0201");  // "ip route add unreachable default"
  RunResult result = sandbox.run({"-smartstatus"});
  EXPECT_EQ(result.exitStatus, 0) << result.output;
  EXPECT_THAT(result.output, HasSubstr("-[ConsolidatedAssets writeSmartStatusForDataPost]:No Connection\n"));
  const auto files = sandbox.listDir("datapost");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files[0], std::regex("wpmacsmartsts_4711_[0-9]{14}"))) << files[0];
  EXPECT_EQ(readFile(sandbox.path("datapost/" + files[0])), loggedReport(result.output));

  std::filesystem::remove_all(sandbox.path("datapost"));
  result = sandbox.run({"-smartstatus"});
  EXPECT_EQ(result.exitStatus, 255) << result.output;
}

TEST_F(DirectReportRun, MacNamePostsTheDetailsAndRewritesTheSettingsOnlyWhenTheNameChanged) {
  BRIM_REQUIRE_ROOT();
  writeWebPost("wpmacupdsysdtl", {});
  writeSettings("old-name", false);
  // The recorded Mac's overview, with the local host name the recording left out.
  std::string software = readFile(fixture("macos/mac-a/SPSoftwareDataType.xml"));
  software.insert(software.find("<key>kernel_version</key>"), "<key>local_host_name</key><string>new-name</string>");
  writeFile(profilerDir() + "/SPSoftwareDataType.xml", software);
  // The Ethernet service shows an address: the Wi-Fi one is not asked for.
  const auto networkReport = [&](const char* variant) {
    std::filesystem::copy_file(fixture("reports/SPNetworkDataType-" + std::string(variant) + ".txt"),
                               profilerDir() + "/SPNetworkDataType.txt",
                               std::filesystem::copy_options::overwrite_existing);
  };
  networkReport("ethernet");
  // The agent may give the settings file to another user: the write-back keeps owner, group and mode.
  const std::string settingsPath = sandbox.path("config/settings.plist");
  ASSERT_EQ(::chown(settingsPath.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(settingsPath.c_str(), 0664), 0);
  RunResult result = sandbox.run({"-macName"});
  EXPECT_EQ(result.exitStatus, 0) << result.output;
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u) << result.output;
  EXPECT_EQ(requests[0].target, "/primary?rid=4711");
  EXPECT_EQ(requests[0].body, loggedReport(result.output));
  EXPECT_EQ(rootElementText(requests[0].body),
            "<wpmacupdsysdtl><regid>4711</regid><resourcename><![CDATA[new-name]]></resourcename><os><![CDATA[Mac OS X "
            "10.7.5 (11G63)]]></os><osversion><![CDATA[Darwin 11.4.2]]></osversion><ip><![CDATA[10.0.2.15]]></ip>"
            "</wpmacupdsysdtl>");
  EXPECT_THAT(result.output, HasSubstr("-[collectData checkMacNameInSettingsPlist:]:Mac Name Chnaged\n"));
  const std::string settings = readFile(sandbox.path("config/settings.plist"));
  EXPECT_THAT(settings, HasSubstr("<string>new-name</string>"));
  EXPECT_THAT(settings, Not(HasSubstr("old-name")));
  struct stat written {};
  ASSERT_EQ(::stat(settingsPath.c_str(), &written), 0);
  EXPECT_EQ(written.st_uid, 65534u);
  EXPECT_EQ(written.st_gid, 65534u);
  EXPECT_EQ(written.st_mode & 07777, 0664u);

  // The same name: the report still goes out, the settings file stays as it is.
  // Without an Ethernet address the Wi-Fi one is reported.
  struct stat before {};
  ::stat(sandbox.path("config/settings.plist").c_str(), &before);
  networkReport("wifi");
  result = sandbox.run({"-macName"});
  EXPECT_EQ(result.exitStatus, 0) << result.output;
  requests = server.requests();
  ASSERT_EQ(requests.size(), 2u) << result.output;
  EXPECT_THAT(requests[1].body, HasSubstr("<ip><![CDATA[192.168.1.9]]></ip>"));
  EXPECT_THAT(result.output, HasSubstr("-[collectData checkMacNameInSettingsPlist:]:No Change in Mac Name\n"));
  struct stat after {};
  ::stat(sandbox.path("config/settings.plist").c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

}  // namespace
}  // namespace brim::test
