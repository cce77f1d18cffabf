// Whole "-smartstatus" and "-macName" runs against a web-post server on loopback:
// what reaches the server, which site is chosen, how often it is asked, what
// is left behind when a report does not get through, and every form a body is
// posted in, decoded back by brim_inspect.
#include <gmock/gmock.h>
#include <sys/socket.h>
#include <sys/stat.h>
#ifdef __APPLE__
#include <sys/types.h>

#include <cstdint>
// libSystem's attribute calls; the headers the macOS build uses do not declare them.
extern "C" ssize_t getxattr(const char* path, const char* name, void* value, size_t size, uint32_t position,
                            int options);
extern "C" int setxattr(const char* path, const char* name, const void* value, size_t size, uint32_t position,
                        int options);
#else
#include <sys/xattr.h>
#endif
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <regex>
#include <thread>

#include "envelope/ReportEnvelope.h"
#include "net/ReportDelivery.h"
#include "platform/Plist.h"
#include "support/LoopbackPeers.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::string encryptedString(const std::string& text) { return "<string>" + encrypted(text) + "</string>"; }

std::string plistBool(bool value) { return value ? "<true/>" : "<false/>"; }

// How a web post wraps its body.
struct Envelope {
  bool compression = false, encryption = false, encryptXMLRootTag = false;
};

// An extended attribute of the settings file, which a rewrite must keep; macOS
// spells the calls with a position and options.
bool setTag(const std::string& path, const std::string& value) {
#ifdef __APPLE__
  return ::setxattr(path.c_str(), "user.brim.tag", value.data(), value.size(), 0, 0) == 0;
#else
  return ::setxattr(path.c_str(), "user.brim.tag", value.data(), value.size(), 0) == 0;
#endif
}
std::string tagOf(const std::string& path) {
  char value[64] = {};
#ifdef __APPLE__
  const ssize_t size = ::getxattr(path.c_str(), "user.brim.tag", value, sizeof value, 0, 0);
#else
  const ssize_t size = ::getxattr(path.c_str(), "user.brim.tag", value, sizeof value);
#endif
  return size < 0 ? "(none)" : std::string(value, static_cast<size_t>(size));
}

class DirectReportRun : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox.installRecordedMac();
    sandbox.setNetwork(true);
    writeSettings("mac-a");
    writeWebPost("wpmacsmartsts");
  }

  void writeSettings(const std::string& machineName, const std::string& extraRootEntries = "") const {
    sandbox.writeSettings(4711, extraRootEntries, "<key>machinename</key><string>" + machineName + "</string>");
  }
  // One web post of the given name whose sites are paths on the loopback server.
  void writeWebPost(const std::string& name, const Envelope& envelope = {}, const std::string& disasterRecovery = "/dr",
                    const std::optional<std::string>& primary = std::nullopt) const {
    writeFile(sandbox.path("config/webposts.plist"),
              plistDocument("<key>" + name + "</key><dict><key>primarysite</key>" +
                            encryptedString(primary.value_or(server.url("/primary"))) + "<key>secondarysite</key>" +
                            encryptedString(server.url("/secondary")) + "<key>disasterrecovery</key>" +
                            encryptedString(server.url(disasterRecovery)) + "<key>compression</key>" +
                            plistBool(envelope.compression) + "<key>encryption</key>" + plistBool(envelope.encryption) +
                            "<key>encryptxmlroottag</key>" + plistBool(envelope.encryptXMLRootTag) +
                            "<key>getdata</key><dict><key>regid</key><string>rid</string></dict></dict>\n"));
  }
  struct Answer {
    int status = 200;
    std::string body;
    std::string contentType = "text/plain";
  };
  // The server answers the next requests in turn with these, then with "ACK".
  void answerWith(std::vector<Answer> next) {
    std::lock_guard lock(mutex);
    answers = std::move(next);
    answered = 0;
  }
  static std::string loggedReport(const std::string& log) {
    const std::string mark = ":xml string = ";
    const auto start = log.find(mark);
    if (start == std::string::npos) return {};
    const auto end = log.find("</wpmac", start);
    return log.substr(start + mark.size(), log.find('>', end) + 1 - start - mark.size());
  }

  // A run of the job that exits 0 after this many posts to the primary site, logs
  // these lines and leaves the logged report as its one data-post file, taken away here.
  void expectSavedPlain(const char* situation, std::size_t posts, const std::vector<std::string>& logged,
                        const std::string& job = "-smartstatus", const std::string& report = "wpmacsmartsts") {
    SCOPED_TRACE(situation);
    const std::size_t before = server.requests().size();
    const RunResult result = sandbox.run({job});
    EXPECT_EQ(result.exitStatus, 0) << result.output;
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), before + posts) << result.output;
    for (std::size_t i = before; i < requests.size(); ++i) {
      EXPECT_THAT(requests[i].target, StartsWith("/primary?rid=4711"));
    }
    for (const std::string& line : logged) EXPECT_THAT(result.output, HasSubstr(line));
    const auto files = sandbox.listDir("datapost");
    ASSERT_EQ(files.size(), 1u);
    expectStampedNow(files[0], report);
    EXPECT_EQ(readFile(sandbox.path("datapost/" + files[0])), loggedReport(result.output));
    std::filesystem::remove(sandbox.path("datapost/" + files[0]));
  }

  Sandbox sandbox;
  std::mutex mutex;
  std::vector<Answer> answers;
  std::size_t answered = 0;
  LoopbackHttpServer server{[this](httplib::Server& routes) {
    routes.Post(".*", [this](const httplib::Request&, httplib::Response& response) {
      std::lock_guard lock(mutex);
      const Answer answer = answered < answers.size() ? answers[answered] : Answer{200, "ACK"};
      response.status = answer.status;
      response.set_content(answer.body, answer.contentType);
      ++answered;
    });
  }};
};

// Only the primary site is asked, or, when the settings say so, the
// disaster-recovery one: until it answers, and an answered report is not kept.
TEST_F(DirectReportRun, OneSiteIsAskedUntilItAnswersAndAnAnsweredReportIsNotKept) {
  BRIM_REQUIRE_ROOT();
  // A blank in the site's path is escaped.
  writeWebPost("wpmacsmartsts", {}, "/disaster recovery");
  writeSettings("mac-a", "<key>datatodisasterrecovery</key><dict><key>reporttodr</key><true/></dict>");
  // A failure status is followed by exactly one more attempt.
  answerWith({{503, "busy"}});
  const RunResult result = sandbox.runExpecting(0, {"-smartstatus"});
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u) << result.output;
  EXPECT_EQ(requests[0].target, "/disaster%20recovery?rid=4711");
  EXPECT_EQ(requests[1].target, requests[0].target);
  EXPECT_EQ(requests[1].body, requests[0].body);
  // The first controller's first drive, its model without the blank padding.
  EXPECT_EQ(std::regex_replace(requests[0].body, std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d)"), "<time>"),
            readFile(fixture("reports/direct/wpmacsmartsts_mac-a.xml")));
  EXPECT_THAT(result.output, Not(HasSubstr("Retry Count=2")));
  EXPECT_THAT(result.output,
              HasSubstr("-[ConsolidatedAssets sendXML:toWebPost:withEncryptionKey:]:commResponse=ACK\n"));
  EXPECT_THAT(result.output, HasSubstr("-[ConsolidatedAssets collectSmartStatus]:Response is = ACK\n"));
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
}

// A report no server answered, or sent while the network is down, is saved
// plain for the uploader; the job fails only when that write fails.
TEST_F(DirectReportRun, AReportThatDidNotGetThroughIsSavedPlain) {
  BRIM_REQUIRE_ROOT();
  // Nothing in three attempts does not send the report to the secondary site.
  answerWith({{500, ""}, {502, ""}, {404, ""}});
  expectSavedPlain("no answer while the network is up", 3,
                   {"-[ConsolidatedAssets collectSmartStatus]:No Response\n",
                    "-[ConsolidatedAssets writeSmartStatusForDataPost]:No answer from the server; saving the report "
                    "for the uploader\n"});
  writeWebPost("someotherpost");
  expectSavedPlain("no web post of the report's name", 0,
                   {"-[ConsolidatedAssets sendXML:toWebPost:withEncryptionKey:]:commResponse=(null)\n"});
  // The network down; the envelope of the post is not kept.
  writeWebPost("wpmacsmartsts", {true, true, false});
  sandbox.setNetwork(false);
  expectSavedPlain("default route rejected", 1, {"-[ConsolidatedAssets writeSmartStatusForDataPost]:No Connection\n"});
  // The machine details are saved the same way; only the SMART report says "No Connection".
  writeWebPost("wpmacupdsysdtl", {true, true, false});
  expectSavedPlain("default route rejected, machine details", 1, {}, "-macName", "wpmacupdsysdtl");
  const std::string log = readFile(sandbox.path("log/brim_asset_sandbox.log"));
  ASSERT_NE(log.find("No Connection"), std::string::npos);
  EXPECT_EQ(log.find("No Connection"), log.rfind("No Connection"));

  std::filesystem::remove_all(sandbox.path("datapost"));
  EXPECT_EQ(sandbox.run({"-smartstatus"}).exitStatus, 255);
}

// Delivered means answered: a 2xx answer ends the attempts whatever its body,
// and the report is not saved again for the uploader. The answer cannot add
// lines to the log, nor the site's password get into it.
TEST_F(DirectReportRun, AnAnsweredReportIsDeliveredOnceWhateverTheAnswerHolds) {
  BRIM_REQUIRE_ROOT();
  writeWebPost("wpmacsmartsts", {}, "/dr", "http://agent:s3cret@" + server.url("/primary").substr(7));
  const std::string forged = "\n12/4/26, 9:05:03 PM int main(int, const char **):Asset collection";
  const struct {
    Answer answer;
    std::string logged;
  } cases[] = {
      {{200, ""}, "-[ConsolidatedAssets collectSmartStatus]:No Response\n"},
      {{200, "d\xE9j\xE0 re\xE7u" + forged, "text/plain; charset=ISO-8859-1"},
       "-[ConsolidatedAssets collectSmartStatus]:Response is = d\xC3\xA9j\xC3\xA0 re\xC3\xA7u"
       "\\n12/4/26, 9:05:03 PM int main(int, const char **):Asset collection\n"},
  };
  for (const auto& c : cases) {
    answerWith({c.answer});
    const std::size_t before = server.requests().size();
    const RunResult result = sandbox.runExpecting(0, {"-smartstatus"});
    EXPECT_EQ(server.requests().size(), before + 1) << result.output;
    EXPECT_THAT(readFile(sandbox.path("log/brim_asset_sandbox.log")), HasSubstr(c.logged));
    EXPECT_TRUE(sandbox.listDir("datapost").empty());
  }
  const std::string log = readFile(sandbox.path("log/brim_asset_sandbox.log"));
  EXPECT_THAT(log, HasSubstr(":fullURL=http://***@127.0.0.1:"));
  EXPECT_THAT(log, Not(HasSubstr("s3cret")));
  EXPECT_THAT(log, Not(HasSubstr(forged)));
}

// A server that trickles its answer holds each attempt only up to its bound
// (shortened here); the report then goes to the uploader.
TEST_F(DirectReportRun, ATricklingServerIsCutOffAtEachAttemptsBound) {
  BRIM_REQUIRE_ROOT();
  // A byte every half second, until the tool hangs up.
  RawTcpServer trickle([](int fd, int, const std::atomic<bool>& stopping) {
    RawTcpServer::readRequest(fd);
    RawTcpServer::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 60\r\nConnection: close\r\n\r\n");
    for (int i = 0; i < 60 && !stopping && ::send(fd, "s", 1, MSG_NOSIGNAL) == 1; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
  });
  writeWebPost("wpmacsmartsts", {}, "/dr", trickle.url("/primary"));
  const ScopedEnvironment limit({"BRIM_SANDBOX_POST_LIMIT"}, "2");
  const RunResult result = sandbox.runExpecting(0, {"-smartstatus"});
  const std::regex cut("proxy error = Error Domain=ASIHTTPRequestErrorDomain Code=2 \"The request timed out\"\n");
  EXPECT_EQ(occurrences(result.output, cut), 3) << result.output;
  EXPECT_THAT(result.output, HasSubstr("saving the report for the uploader\n"));
  EXPECT_EQ(sandbox.listDir("datapost").size(), 1u);
}

// The proxy of the settings, credentials included, is tried first: the
// proxied post is the one without a Content-Type.
TEST_F(DirectReportRun, TheSettingsProxyCarriesThePost) {
  BRIM_REQUIRE_ROOT();
  Tinyproxy proxy({{"agent", "s3cret"}});
  ASSERT_TRUE(proxy.running());
  const std::string port = std::to_string(proxy.port());
  writeSettings("mac-a",
                "<key>proxysettings</key><dict><key>proxyip</key><string>127.0.0.1</string><key>proxyport</key>"
                "<integer>" +
                    port + "</integer><key>proxyusername</key>" + encryptedString("agent") +
                    "<key>proxypassword</key>" + encryptedString("s3cret") + "</dict>");
  const RunResult result = sandbox.run({"-smartstatus"});
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u) << result.output;
  EXPECT_EQ(requests[0].header("Content-Type"), std::nullopt) << result.output;
  EXPECT_THAT(result.output, HasSubstr("using proxyip=127.0.0.1 port=" + port + "\n"));
}

TEST_F(DirectReportRun, MacNamePostsTheDetailsAndRewritesTheSettingsOnlyWhenTheNameChanged) {
  BRIM_REQUIRE_ROOT();
  writeWebPost("wpmacupdsysdtl");
  writeSettings("old-name");
  const std::string profilerDir = sandbox.root() + "/profiler";
  sandbox.replayProfilerFrom(profilerDir);
  // The recorded Mac's overview, with the local host name the recording left out.
  std::string software = readFile(testData("mac-a/SPSoftwareDataType.xml"));
  software.insert(software.find("<key>kernel_version</key>"), "<key>local_host_name</key><string>new-name</string>");
  writeFile(profilerDir + "/SPSoftwareDataType.xml", software);
  // The Ethernet service shows an address: the Wi-Fi one is not asked for.
  writeFile(profilerDir + "/SPNetworkDataType.txt", readFile(fixture("reports/SPNetworkDataType-ethernet.txt")));
  // Another component adds the logon name while the first run asks the profiler: the
  // write-back keeps it, adds none of the sections the file lacks, and keeps
  // group, mode and extended attributes (an ACL is one on Linux).
  const std::string settingsPath = sandbox.path("config/settings.plist");
  sandbox.wrapProfiler("reports/settings_changing_profiler.sh");
  ASSERT_EQ(::chown(settingsPath.c_str(), 0, 65534), 0);
  ASSERT_EQ(::chmod(settingsPath.c_str(), 0640), 0);
  const bool withAttribute = setTag(settingsPath, "kept");
  RunResult result = sandbox.runExpecting(0, {"-macName"});
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u) << result.output;
  EXPECT_EQ(requests[0].target, "/primary?rid=4711");
  EXPECT_EQ(requests[0].body, readFile(fixture("reports/direct/wpmacupdsysdtl_new-name.xml")));
  EXPECT_THAT(result.output, HasSubstr("-[collectData checkMacNameInSettingsPlist:]:Mac Name Chnaged\n"));
  const Plist written = readPlistFile(settingsPath);
  plist_t machine = plistDictItem(written.get(), "machineinfo");
  EXPECT_EQ(plistString(plistDictItem(machine, "machinename")), "new-name");
  EXPECT_EQ(plistString(plistDictItem(machine, "logonname")), "set-meanwhile");
  EXPECT_EQ(plist_dict_get_size(written.get()), 2u) << readFile(settingsPath);  // "macfolders" and "machineinfo"
  struct stat before {};
  ASSERT_EQ(::stat(settingsPath.c_str(), &before), 0);
  const auto writtenAt = std::filesystem::last_write_time(settingsPath);
  EXPECT_EQ(std::tuple(before.st_uid, before.st_gid, before.st_mode & 07777), std::tuple(0u, 65534u, 0640u));
  if (withAttribute) {
    EXPECT_EQ(tagOf(settingsPath), "kept");
  }
  // Answered while reachable: nothing is kept.
  EXPECT_TRUE(sandbox.listDir("datapost").empty());

  // The same name: the report still goes out, the settings file stays as it is.
  // Without an Ethernet address the Wi-Fi one is reported.
  writeFile(profilerDir + "/SPNetworkDataType.txt", readFile(fixture("reports/SPNetworkDataType-wifi.txt")));
  result = sandbox.runExpecting(0, {"-macName"});
  requests = server.requests();
  ASSERT_EQ(requests.size(), 2u) << result.output;
  EXPECT_THAT(requests[1].body, HasSubstr("<ip><![CDATA[192.168.1.9]]></ip>"));
  EXPECT_THAT(result.output, HasSubstr("-[collectData checkMacNameInSettingsPlist:]:No Change in Mac Name\n"));
  struct stat after {};
  ::stat(settingsPath.c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(std::filesystem::last_write_time(settingsPath), writtenAt);
}

void PrintTo(const Envelope& envelope, std::ostream* out) {
  *out << "compression " << envelope.compression << ", encryption " << envelope.encryption << ", root tag "
       << envelope.encryptXMLRootTag;
}

// Every form a direct report is posted in, as brim_inspect takes it apart again.
class PostedBody : public DirectReportRun, public ::testing::WithParamInterface<std::tuple<std::string, Envelope>> {};

// Encrypted bodies name the cipher in the query; decoded, each is the logged
// report and follows its wire format.
TEST_P(PostedBody, DecodesBackToTheLoggedReport) {
  BRIM_REQUIRE_ROOT();
  const auto& [report, envelope] = GetParam();
  writeWebPost(report, envelope);
  const RunResult result = sandbox.runExpecting(0, {report == "wpmacsmartsts" ? "-smartstatus" : "-macName"});
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u) << result.output;
  EXPECT_EQ(requests[0].target, envelope.encryption ? "/primary?rid=4711&ec=256" : "/primary?rid=4711");
  // Unencrypted, a compressed body hides the report's elements; decoding accepts either form.
  if (!envelope.encryption) {
    EXPECT_EQ(requests[0].body.find("<regid>4711</regid>") == std::string::npos, envelope.compression);
  }
  const std::string inspect = "'" BRIM_BIN_DIR "/brim_inspect' ";
  EXPECT_EQ(shellOutput(inspect + "decode -", requests[0].body), loggedReport(result.output) + "\n");
  EXPECT_EQ(shellOutput(inspect + "check -", requests[0].body), "-: OK\n");
}

INSTANTIATE_TEST_SUITE_P(
    EveryForm, PostedBody,
    ::testing::Combine(::testing::ValuesIn(std::vector<std::string>{"wpmacsmartsts", "wpmacupdsysdtl"}),
                       ::testing::Values(Envelope{}, Envelope{true}, Envelope{false, true, true}, Envelope{false, true},
                                         Envelope{true, true, true}, Envelope{true, true})));

TEST(CheckUrl, OnlyAddressesWithWhiteSpaceAreEscaped) {
  for (const auto& c : fixtureCases("reports/checked-urls.cases", 2)) EXPECT_EQ(checkurl(c[0]), c[1]);
}

TEST(RootStripping, TheTextBetweenTheRootTagsIsKeptByteForByte) {
  for (const auto& c : fixtureCases("reports/root-stripping.cases", 3))
    EXPECT_EQ(xmlStringWithoutRootNodeWithName(c[0], c[1]), c[2] == "(none)" ? std::nullopt : std::optional(c[2]));
}

}  // namespace
}  // namespace brim::test
