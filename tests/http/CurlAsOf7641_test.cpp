// The oldest supported macOS ships libcurl 7.64.1: no curl_multi_poll, no
// CURLOPT_MAXAGE_CONN, no CURLOPT_PROTOCOLS_STR. The engine runs here against
// a library built in tests/http/old-curl that answers as that release does and
// forwards everything else to the real one.
#include <dlfcn.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <regex>

#include "app/EntryPoint.h"
#include "http/ASIHTTPRequest.h"
#include "http/CurlLibrary.h"
#include "support/LoopbackPeers.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

class CurlAsOf7641 : public ::testing::Test {
 protected:
  void SetUp() override {
    CurlLibrary::useForTesting(BRIM_CURL_AS_7_64_1);
    curl = CurlLibrary::get();
    ASSERT_NE(curl, nullptr) << CurlLibrary::unavailableReason();
  }
  void TearDown() override { CurlLibrary::useForTesting(std::nullopt); }

  // libcurl's own transfer of url, its body thrown away: what it ended with.
  CURLcode transfer(const std::string& url, bool restricted) const {
    CurlEasyHandle easy(curl->easy_init(), {curl});
    if (!easy || (restricted && !curl->restrictTransfer(easy.get()))) return CURLE_FAILED_INIT;
    curl->easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl->easy_setopt(easy.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_write_callback discard = [](char*, size_t size, size_t count, void*) { return size * count; };
    curl->easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, discard);
    return curl->easy_perform(easy.get());
  }

  const CurlLibrary* curl = nullptr;
};

// What the old release lacks is really missing, so every fallback below is
// the one taken; the protections hold all the same.
TEST_F(CurlAsOf7641, TheFallbacksKeepAnswersBoundedAndOtherSchemesRefused) {
  EXPECT_EQ(curl->multi_poll, nullptr);
  const auto versionInfo = reinterpret_cast<decltype(&curl_version_info)>(
      dlsym(dlopen(BRIM_CURL_AS_7_64_1, RTLD_NOW | RTLD_NOLOAD), "curl_version_info"));
  ASSERT_NE(versionInfo, nullptr);
  EXPECT_STREQ(versionInfo(CURLVERSION_NOW)->version, "7.64.1");
  {
    CurlEasyHandle easy(curl->easy_init(), {curl});
    EXPECT_EQ(curl->easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "http,https"), CURLE_UNKNOWN_OPTION);
    EXPECT_EQ(curl->easy_setopt(easy.get(), CURLOPT_MAXAGE_CONN, 5L), CURLE_UNKNOWN_OPTION);
  }

  const std::string ftp = "ftp://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/x";
  LoopbackHttpServer server{[&ftp](httplib::Server& routes) {
    routes.set_keep_alive_max_count(10);  // "max=10": the connection may be reused
    routes.set_keep_alive_timeout(2);
    routes.Get("/to-ftp", [ftp](auto&, httplib::Response& response) { response.set_redirect(ftp); });
    routes.Get("/big", [](auto&, httplib::Response& response) {
      response.set_content(std::string(kMaximumAnswerBytes + 1, 'x'), "text/plain");
    });
    routes.Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content("got " + request.body, "text/plain");
    });
  }};
  // Without the restriction libcurl reads a local file and follows a redirect
  // to FTP (here to a port where nobody listens).
  EXPECT_EQ(transfer("file:///etc/hosts", false), CURLE_OK);
  EXPECT_EQ(transfer(server.url("/to-ftp"), false), CURLE_COULDNT_CONNECT);
  EXPECT_EQ(transfer("file:///etc/hosts", true), CURLE_UNSUPPORTED_PROTOCOL);
  EXPECT_EQ(transfer(server.url("/to-ftp"), true), CURLE_UNSUPPORTED_PROTOCOL);
  EXPECT_EQ(transfer(server.url("/big"), true), CURLE_FILESIZE_EXCEEDED);

  // The engine waits on its pool without curl_multi_poll, and a reused
  // connection does without the pool's own age limit.
  for (const char* body : {"first", "second"}) {
    ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(server.url("/echo"));
    request.appendPostData(body);
    request.startSynchronous();
    EXPECT_FALSE(request.error()) << request.error()->underlyingError.value_or("");
    EXPECT_EQ(request.responseString(), std::string("got ") + body);
  }
  const auto requests = server.requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests.end()[-2].remotePort, requests.end()[-1].remotePort);
}

// Both reports a job posts directly reach the web-post server, as they do with
// today's libcurl.
TEST_F(CurlAsOf7641, SmartStatusAndMachineNameAreDelivered) {
  BRIM_REQUIRE_ROOT();
  LoopbackHttpServer server{[](httplib::Server& routes) {
    routes.Post(".*", [](auto&, httplib::Response& response) { response.set_content("ACK", "text/plain"); });
  }};
  Sandbox sandbox;
  sandbox.installRecordedMac();
  // The recorded Mac, with the local host name its recording left out and an Ethernet address.
  const std::string profilerDir = sandbox.root() + "/profiler";
  std::filesystem::create_directory(profilerDir);
  for (const auto& recorded : std::filesystem::directory_iterator(testData("mac-a")))
    std::filesystem::create_symlink(recorded.path(), profilerDir + "/" + recorded.path().filename().string());
  std::string software = readFile(testData("mac-a/SPSoftwareDataType.xml"));
  software.insert(software.find("<key>kernel_version</key>"), "<key>local_host_name</key><string>new-name</string>");
  std::filesystem::remove(profilerDir + "/SPSoftwareDataType.xml");
  writeFile(profilerDir + "/SPSoftwareDataType.xml", software);
  std::filesystem::remove(profilerDir + "/SPNetworkDataType.txt");
  writeFile(profilerDir + "/SPNetworkDataType.txt", readFile(fixture("reports/SPNetworkDataType-ethernet.txt")));
  sandbox.replayProfilerFrom(profilerDir);
  sandbox.writeRouteTable(true);
  sandbox.writeSettings(4711, "", "<key>machinename</key><string>mac-a</string>");
  std::string webPosts;
  for (const char* report : {"wpmacsmartsts", "wpmacupdsysdtl"}) {
    webPosts += std::string("<key>") + report + "</key><dict><key>primarysite</key><string>" +
                encrypted(server.url("/primary")) +
                "</string><key>getdata</key><dict><key>regid</key><string>rid</string></dict></dict>";
  }
  writeFile(sandbox.path("config/webposts.plist"), plistDocument(webPosts));
  SandboxInProcess inProcess(sandbox);
  EntryPoint::Hooks hooks = EntryPoint::platformHooks();
  hooks.userName = [] { return std::string("root"); };
  hooks.skipStartDelay = true;

  const std::pair<const char*, const char*> jobs[] = {{"-smartstatus", "reports/direct/wpmacsmartsts_mac-a.xml"},
                                                      {"-macName", "reports/direct/wpmacupdsysdtl_new-name.xml"}};
  for (std::size_t i = 0; i < std::size(jobs); ++i) {
    const auto& [job, expected] = jobs[i];
    SCOPED_TRACE(job);
    EXPECT_EQ(EntryPoint(hooks).run({job}), 0);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), i + 1);
    EXPECT_EQ(requests[i].target, "/primary?rid=4711");
    EXPECT_EQ(std::regex_replace(requests[i].body, std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d)"), "<time>"),
              readFile(fixture(expected)));
  }
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
}

}  // namespace
}  // namespace brim::test
