#include "net/Communications.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "support/LoopbackServer.h"

namespace brim::test {
namespace {

struct Seen {
  std::string method, target, contentType, body;
};

class DirectPost : public ::testing::Test {
 protected:
  void SetUp() override {
    server.server().Post(R"(/post.*)", [this](const httplib::Request& request, httplib::Response& response) {
      std::lock_guard guard(lock);
      seen.push_back({request.method, request.target, request.get_header_value("Content-Type"), request.body});
      response.set_content(answer, "text/plain");
      response.status = status;
    });
    server.start();
  }
  std::mutex lock;
  std::vector<Seen> seen;
  std::string answer = "OK";
  int status = 200;
  LoopbackServer server;
};

TEST_F(DirectPost, ThePathResolvesAgainstTheSiteWithItsSpacesRemoved) {
  std::string site = server.url("/post.php?old=1");
  site.insert(7, " ");  // "http:// 127.0.0.1..."
  Communications communications = Communications::initWithBaseURLString(site + " ");
  const auto response = communications.sendDataToURLString("?mid=5&sid=7&rid=1234", "<a>caf\xC3\xA9</a>");
  EXPECT_EQ(response, "OK");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].target, "/post.php?mid=5&sid=7&rid=1234");
  EXPECT_EQ(seen[0].contentType, "application/html");
  EXPECT_EQ(seen[0].body, "<a>caf\xC3\xA9</a>");
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

TEST_F(DirectPost, NoServerOrNoURLGivesAbsent) {
  const std::string site = server.url("/post");
  server.stop();
  EXPECT_EQ(Communications::initWithBaseURLString(site).sendDataToURLString("?a=1", "x"), std::nullopt);
  EXPECT_EQ(Communications::initWithBaseURLString("not a url").sendDataToURLString("?a=1", "x"), std::nullopt);
}

}  // namespace
}  // namespace brim::test
