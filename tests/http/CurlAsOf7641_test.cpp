// The oldest supported macOS ships libcurl 7.64.1: no curl_multi_poll, no
// CURLOPT_MAXAGE_CONN, no CURLOPT_PROTOCOLS_STR. The engine runs here against
// a library built in tests/http/old-curl that answers as that release does and
// forwards everything else to the real one.
#include <dlfcn.h>
#include <gmock/gmock.h>

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
// today's libcurl (what they hold is the direct reports' own test).
TEST_F(CurlAsOf7641, SmartStatusAndMachineNameAreDelivered) {
  BRIM_REQUIRE_ROOT();
  LoopbackHttpServer server{[](httplib::Server& routes) {
    routes.Post(".*", [](auto&, httplib::Response& response) { response.set_content("ACK", "text/plain"); });
  }};
  Sandbox sandbox;
  sandbox.installRecordedMac();
  sandbox.writeRouteTable(true);
  std::string webPosts;
  for (const char* report : {"wpmacsmartsts", "wpmacupdsysdtl"}) {
    webPosts += std::string("<key>") + report + "</key><dict><key>primarysite</key><string>" +
                encrypted(server.url("/" + std::string(report))) +
                "</string><key>getdata</key><dict><key>regid</key><string>rid</string></dict></dict>";
  }
  writeFile(sandbox.path("config/webposts.plist"), plistDocument(webPosts));
  SandboxInProcess inProcess(sandbox);
  EntryPoint::Hooks hooks = EntryPoint::platformHooks();
  hooks.userName = [] { return std::string("root"); };
  hooks.skipStartDelay = true;
  for (const char* job : {"-smartstatus", "-macName"}) EXPECT_EQ(EntryPoint(hooks).run({job}), 0) << job;
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& [request, report] : {std::pair{requests[0], "wpmacsmartsts"}, {requests[1], "wpmacupdsysdtl"}}) {
    EXPECT_EQ(request.target, "/" + std::string(report) + "?rid=4711");
    EXPECT_THAT(request.body, ::testing::HasSubstr(std::string("<") + report + "><regid>4711</regid>"));
  }
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
}

}  // namespace
}  // namespace brim::test
