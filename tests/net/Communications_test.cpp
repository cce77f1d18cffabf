#include "net/Communications.h"

#include <gtest/gtest.h>

#include <atomic>

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
