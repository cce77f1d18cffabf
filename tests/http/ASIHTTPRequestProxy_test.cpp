// The request engine through a real forward proxy (tinyproxy) on loopback.
#include <gtest/gtest.h>

#include <mutex>

#include "RequestExpectations.h"
#include "http/ASIHTTPRequest.h"
#include "support/LoopbackPeers.h"

namespace brim::test {
namespace {

const std::pair<std::string, std::string> kAccount{"agent", "s3cret"};

ASIHTTPRequest sendVia(int proxyPort, const std::string& url, std::string_view body,
                       std::optional<std::pair<std::string, std::string>> credentials = std::nullopt) {
  ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(url);
  request.setProxyHost("127.0.0.1");
  request.setProxyPort(proxyPort);
  if (credentials) {
    request.setProxyUsername(credentials->first);
    request.setProxyPassword(credentials->second);
  }
  request.setResponseEncoding(std::string(kUTF8StringEncoding));
  request.appendPostData(body);
  request.startSynchronous();
  return request;
}

LoopbackHttpServer::Routes echoRoutes() {
  return [](httplib::Server& server) {
    server.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("got " + std::to_string(req.body.size()) + " bytes", "text/plain; charset=utf-8");
    });
  };
}

TEST(ThroughProxy, APostArrivesWithItsLengthAndNoContentType) {
  Tinyproxy proxy;
  ASSERT_TRUE(proxy.running()) << proxy.log();
  LoopbackHttpServer server(echoRoutes());
  const ASIHTTPRequest request = sendVia(proxy.port(), server.url("/echo"), std::string(1000, 'r'));
  EXPECT_FALSE(request.error());
  EXPECT_EQ(request.responseStatusCode(), 200);
  EXPECT_EQ(request.responseString(), "got 1000 bytes");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].header("Content-Length"), "1000");
  EXPECT_EQ(requests[0].header("Content-Type"), std::nullopt);
  EXPECT_EQ(requests[0].header("Expect"), std::nullopt);
  EXPECT_EQ(requests[0].body, std::string(1000, 'r'));
  EXPECT_TRUE(requests[0].header("Via").has_value()) << "did not pass the proxy";
}

TEST(ThroughProxy, OnlyTheConfiguredProxyIsUsedWhateverTheEnvironmentSays) {
  Tinyproxy configured;
  Tinyproxy environmental(kAccount);  // a request sent through it would fail with 407
  ASSERT_TRUE(configured.running() && environmental.running());
  LoopbackHttpServer server(echoRoutes());
  const std::string wrong = "http://127.0.0.1:" + std::to_string(environmental.port());
  ScopedEnvironment http("http_proxy", wrong);
  ScopedEnvironment httpUpper("HTTP_PROXY", wrong);
  ScopedEnvironment all("ALL_PROXY", wrong);
  ScopedEnvironment noProxy("no_proxy", "*");
  ScopedEnvironment noProxyUpper("NO_PROXY", "*");

  const ASIHTTPRequest direct = sendVia(0, server.url("/echo"), "port 0 means no proxy");
  const ASIHTTPRequest proxied = sendVia(configured.port(), server.url("/echo"), "through the configured one");
  EXPECT_FALSE(direct.error());
  EXPECT_FALSE(proxied.error());
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[0].header("Via").has_value());
  EXPECT_TRUE(requests[1].header("Via").has_value());
}

TEST(ProxyAuthentication, CredentialsAnswerTheChallengeAndServeLaterRequestsOfTheProcess) {
  Tinyproxy proxy(kAccount);
  ASSERT_TRUE(proxy.running()) << proxy.log();
  LoopbackHttpServer server(echoRoutes());
  const ASIHTTPRequest first = sendVia(proxy.port(), server.url("/echo"), "first", kAccount);
  EXPECT_FALSE(first.error());
  EXPECT_EQ(first.responseString(), "got 5 bytes");
  // The next request names no credentials; those that worked go out at once.
  const ASIHTTPRequest second = sendVia(proxy.port(), server.url("/echo"), "second");
  EXPECT_FALSE(second.error());
  EXPECT_EQ(second.responseString(), "got 6 bytes");
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST(ProxyAuthentication, MissingOrRefusedCredentialsEndInAuthenticationNeeded) {
  Tinyproxy proxy(kAccount);
  ASSERT_TRUE(proxy.running()) << proxy.log();
  LoopbackHttpServer server(echoRoutes());
  const ASIHTTPRequest without = sendVia(proxy.port(), server.url("/echo"), "report");
  expectError(without, 3, "Authentication needed");
  EXPECT_EQ(without.responseStatusCode(), 407);
  const ASIHTTPRequest request =
      sendVia(proxy.port(), server.url("/echo"), "report", std::make_pair(kAccount.first, std::string("wrong")));
  expectError(request, 3, "Authentication needed");
  // tinyproxy answers credentials it refuses with 401 rather than another 407.
  EXPECT_EQ(request.responseStatusCode(), 401);
  EXPECT_TRUE(server.requests().empty());
  // Refused credentials are not remembered: they would go out first and spoil the right ones.
  EXPECT_FALSE(sendVia(proxy.port(), server.url("/echo"), "report", kAccount).error());
  EXPECT_EQ(server.requests().size(), 1u);
}

struct ChallengeCase {
  const char* challenge;
  int code;
  const char* text;
  int requests;
};

TEST(ProxyAuthentication, AProxyThatKeepsChallengingIsAnsweredOnceAtMost) {
  const std::vector<ChallengeCase> cases = {
      {"", 7, "Failed to get authentication object from response headers", 1},
      {"Proxy-Authenticate: Negotiate\r\n", 7, "Failed to get authentication object from response headers", 1},
      {"Proxy-Authenticate: Basic realm=\"lab\"\r\n", 3, "Authentication needed", 2},
  };
  for (const ChallengeCase& challenge : cases) {
    SCOPED_TRACE(challenge.challenge);
    std::mutex mutex;
    std::vector<std::string> received;
    RawTcpServer challenger([&](int fd, int, const std::atomic<bool>&) {
      const std::string request = RawTcpServer::readRequest(fd);
      {
        const std::lock_guard<std::mutex> guard(mutex);
        received.push_back(request);
      }
      RawTcpServer::sendAll(fd, std::string("HTTP/1.1 407 Proxy Authentication Required\r\n") + challenge.challenge +
                                    "Content-Length: 0\r\nConnection: close\r\n\r\n");
    });
    const ASIHTTPRequest request = sendVia(challenger.port(), "http://127.0.0.1:1/echo", "report", kAccount);
    expectError(request, challenge.code, challenge.text);
    EXPECT_EQ(request.responseStatusCode(), 407);
    const std::lock_guard<std::mutex> guard(mutex);
    ASSERT_EQ(received.size(), static_cast<size_t>(challenge.requests));
    EXPECT_EQ(received[0].find("Proxy-Authorization"), std::string::npos);
    if (challenge.requests == 2) {
      EXPECT_NE(received[1].find("Proxy-Authorization: Basic YWdlbnQ6czNjcmV0\r\n"), std::string::npos) << received[1];
    }
  }
}

TEST(ProxyAuthentication, HttpsTunnelsThroughTheSameProxyWithTheSameCredentials) {
  Tinyproxy proxy(kAccount);
  ASSERT_TRUE(proxy.running()) << proxy.log();
  auto server = LoopbackHttpServer::withSelfSignedCertificate(echoRoutes());
  expectError(sendVia(proxy.port(), server->url("/echo"), "report"), 3, "Authentication needed");
  // With the credentials the tunnel opens and the server's certificate is checked, and refused.
  expectError(sendVia(proxy.port(), server->url("/echo"), "report", kAccount), 1,
              "A connection failure occurred: SSL problem (Possible causes may include a bad/expired/self-signed "
              "certificate, clock set to wrong date)");
  EXPECT_NE(proxy.log().find("CONNECT"), std::string::npos) << proxy.log();
}

}  // namespace
}  // namespace brim::test
