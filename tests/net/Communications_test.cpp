#include "net/Communications.h"

#include <gtest/gtest.h>

#include <atomic>

#include "config/GlobalPreferences.h"
#include "config/ProxySettings.h"
#include "support/LoopbackPeers.h"

namespace brim::test {
namespace {

class DirectPost : public ::testing::Test {
 protected:
  std::atomic<int> status{200};
  std::string answer = "OK";
  LoopbackHttpServer server{[this](httplib::Server& routes) {
    routes.Post(R"(/post.*)", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(answer, "text/plain");
      response.status = status;
    });
  }};
};

TEST_F(DirectPost, ThePathResolvesAgainstTheSiteWithItsSpacesRemoved) {
  std::string site = server.url("/post.php?old=1");
  site.insert(7, " ");  // "http:// 127.0.0.1..."
  Communications communications = Communications::initWithBaseURLString(site + " ");
  const auto response = communications.sendDataToURLString("?mid=5&sid=7&rid=1234", "<a>caf\xC3\xA9</a>");
  EXPECT_EQ(response, "OK");
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/post.php?mid=5&sid=7&rid=1234");
  EXPECT_EQ(requests[0].header("Content-Type"), "application/html");
  EXPECT_EQ(requests[0].body, "<a>caf\xC3\xA9</a>");
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
