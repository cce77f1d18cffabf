#include "net/Communications.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "config/GlobalPreferences.h"
#include "config/ProxySettings.h"
#include "support/LoopbackPeers.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class DirectPost : public ::testing::Test {
 protected:
  std::atomic<int> status{200};
  std::string answer = "OK";
  LoopbackHttpServer server{[this](httplib::Server& routes) {
    routes.Post("/to-file", [this](const httplib::Request&, httplib::Response& response) {
      response.set_redirect("file://" + secretFile, 302);
    });
    routes.Post("/large", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(std::string(2 << 20, 'L'), "text/plain");
    });
    routes.Post(".*", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(answer, "text/plain");
      response.status = status;
    });
  }};
  std::string secretFile = ::testing::TempDir() + "brim_secret_" + std::to_string(::getpid());
};

TEST_F(DirectPost, ThePathResolvesAgainstTheSiteWithItsSpacesRemoved) {
  struct Case {
    const char* site;
    const char* path;
    const char* target;
  };
  const Case cases[] = {
      {"/post.php?old=1", "?mid=5&sid=7&rid=1234", "/post.php?mid=5&sid=7&rid=1234"},
      {"/s/t?q=1", "", "/s/t?q=1"},  // an empty query string is the site itself
  };
  for (const Case& c : cases) {
    std::string site = server.url(c.site);
    site.insert(7, " ");  // "http:// 127.0.0.1..."
    Communications communications = Communications::initWithBaseURLString(site + " ");
    EXPECT_EQ(communications.sendDataToURLString(c.path, "<a>caf\xC3\xA9</a>"), "OK");
    const RecordedRequest request = server.requests().back();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, c.target);
    EXPECT_EQ(request.header("Content-Type"), "application/html");
    EXPECT_EQ(request.body, "<a>caf\xC3\xA9</a>");
  }
  EXPECT_EQ(server.requests().size(), std::size(cases));
}

// Only http and https are spoken, and an answer is kept only up to 1 MiB:
// whatever the site or the server says, no file is read and no large answer logged.
TEST_F(DirectPost, OtherSchemesAndLargeAnswersAreRefusedWithALogLine) {
  writeFile(secretFile, "root:secret-hash-of-the-shadow-file:19000:0:99999:7:::\n");
  struct Case {
    std::string site;
    std::string logged;
  };
  const Case cases[] = {
      {"file://" + secretFile, "refused file://" + secretFile + ": only http and https sites are posted to"},
      {"ftp://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/x", ": only http and https sites are posted to"},
      {server.url("/to-file"), "proxy error = Error Domain=NSURLErrorDomain Code=-1 "},
      {server.url("/large"), "Response refused: the answer is larger than 1048576 bytes\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.site);
    ::testing::internal::CaptureStdout();
    const auto response = Communications::initWithBaseURLString(c.site).sendDataToURLString("", "report");
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(response, std::nullopt);
    EXPECT_THAT(log, HasSubstr(c.logged));
    EXPECT_THAT(log, Not(HasSubstr("secret-hash")));
    EXPECT_THAT(log, Not(HasSubstr("LLLL")));
  }
  std::filesystem::remove(secretFile);
}

// The answer never ends: it is abandoned once past 1 MiB rather than read
// whole, so what the server got out is bounded by the socket buffers.
TEST(DirectPostAnswer, AnEndlessAnswerIsCutOffAfterOneMebibyte) {
  std::atomic<long long> sent{0};
  RawTcpServer endless([&](int fd, int, const std::atomic<bool>& stopping) {
    RawTcpServer::readRequest(fd);
    RawTcpServer::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
    const std::string block(64 << 10, 'E');
    while (!stopping && sent < (1LL << 30)) {
      const ssize_t n = ::send(fd, block.data(), block.size(), MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += n;
    }
  });
  const auto response = Communications::initWithBaseURLString(endless.url("/post")).sendDataToURLString("", "x");
  EXPECT_EQ(response, std::nullopt);
  EXPECT_LT(sent.load(), 32LL << 20);
}

// The time-out is one of inactivity: a server that answers a byte every five
// seconds for seventy seconds is waited for, and asked once.
TEST(DirectPostAnswer, ASlowButSteadyAnswerIsTakenWhole) {
  constexpr int kBytes = 14;
  RawTcpServer trickle([](int fd, int, const std::atomic<bool>& stopping) {
    RawTcpServer::readRequest(fd);
    RawTcpServer::sendAll(
        fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBytes) + "\r\nConnection: close\r\n\r\n");
    for (int i = 0; i < kBytes && !stopping; ++i) {
      std::this_thread::sleep_for(std::chrono::seconds(5));
      RawTcpServer::sendAll(fd, "s");
    }
  });
  const auto response = Communications::initWithBaseURLString(trickle.url("/post")).sendDataToURLString("", "x");
  EXPECT_EQ(response, std::string(kBytes, 's'));
  EXPECT_EQ(trickle.connections(), 1);
}

TEST_F(DirectPost, AnEmptySuccessIsTheEmptyStringAndAFailureIsAbsent) {
  answer = "";
  status = 204;
  Communications communications = Communications::initWithBaseURLString(server.url("/post"));
  EXPECT_EQ(communications.sendDataToURLString("?x=1", "body"), std::string());

  answer = "server error page";
  status = 500;
  EXPECT_EQ(communications.sendDataToURLString("?x=1", "body"), std::nullopt);

  answer = "not \xFF utf-8";
  status = 200;
  EXPECT_EQ(communications.sendDataToURLString("?x=1", "body"), std::nullopt);
}

TEST(DirectPostFailures, NoServerOrNoURLGivesAbsent) {
  // Nothing listens on port 1 of the loopback address: the connection is refused.
  const std::string site = "http://127.0.0.1:1/post";
  EXPECT_EQ(Communications::initWithBaseURLString(site).sendDataToURLString("?a=1", "x"), std::nullopt);
  EXPECT_EQ(Communications::initWithBaseURLString("not a url").sendDataToURLString("?a=1", "x"), std::nullopt);
}

}  // namespace
}  // namespace brim::test

namespace brim::test {
namespace {

// The proxy settings live in the shared store; these tests set them in memory.
class ProxyPost : public ::testing::Test {
 protected:
  void SetUp() override {
    ProxySettings* settings = GlobalPreferences::getSharedInstance().proxySettings();
    ASSERT_NE(settings, nullptr);
    settings->proxyIP = "127.0.0.1";
    settings->proxyPort = proxy.port();
  }
  void TearDown() override {
    if (ProxySettings* settings = GlobalPreferences::getSharedInstance().proxySettings()) {
      settings->proxyIP.reset();
      settings->proxyPort = 0;
    }
  }
  Tinyproxy proxy;
  // Answers the proxied post (no Content-Type) with proxyStatus, the direct one with 200.
  std::atomic<int> proxyStatus{200};
  LoopbackHttpServer server{[this](httplib::Server& routes) {
    routes.Post("/post", [this](const httplib::Request& request, httplib::Response& response) {
      const bool direct = request.has_header("Content-Type");
      response.status = direct ? 200 : proxyStatus.load();
      response.set_content(direct ? "direct" : "via proxy", "text/plain");
    });
  }};
};

TEST_F(ProxyPost, AUsableProxyAnswerEndsThePost) {
  ASSERT_TRUE(proxy.running());
  const auto response = Communications::initWithBaseURLString(server.url("/post")).sendDataToURLString("?a=1", "x");
  EXPECT_EQ(response, "via proxy");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].header("Content-Type"), std::nullopt);
  EXPECT_EQ(requests[0].header("Content-Length"), "1");
}

TEST_F(ProxyPost, AProxyAnswerOfFiveHundredIsFollowedByTheDirectPost) {
  ASSERT_TRUE(proxy.running());
  proxyStatus = 500;
  const auto response = Communications::initWithBaseURLString(server.url("/post")).sendDataToURLString("?a=1", "x");
  EXPECT_EQ(response, "direct");
  EXPECT_EQ(server.requests().size(), 2u);
}

}  // namespace
}  // namespace brim::test
