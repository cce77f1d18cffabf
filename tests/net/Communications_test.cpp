#include "net/Communications.h"

#include <gmock/gmock.h>

#include <atomic>

#include "support/LoopbackPeers.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The direct post (it names a Content-Type) gets status and answer, the
// proxied one proxyStatus and proxyAnswer.
class Post : public ::testing::Test {
 protected:
  std::atomic<int> status{200}, proxyStatus{200};
  std::string answer = "OK", proxyAnswer;
  std::atomic<long long> endlessSent{0};
  LoopbackHttpServer server{[this](httplib::Server& routes) {
    routes.Post("/to-file",
                [](auto&, httplib::Response& response) { response.set_redirect("file:///etc/shadow", 302); });
    routes.Post("/endless", [this](const httplib::Request&, httplib::Response& response) {
      response.set_chunked_content_provider("text/plain", [this](size_t, httplib::DataSink& sink) {
        const std::string block(64 << 10, 'L');
        if (!sink.write(block.data(), block.size())) return false;
        return (endlessSent += block.size()) < (1LL << 30);
      });
    });
    routes.Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
      const bool direct = request.has_header("Content-Type");
      response.status = direct ? status.load() : proxyStatus.load();
      response.set_content(direct ? answer : proxyAnswer, "text/plain");
    });
  }};
};

// The path resolves against the site with its spaces removed (an empty query
// string is the site itself); an answer is decoded with the charset it names,
// else as Latin-1; an empty success is the empty string, and only a failure
// status is absent.
TEST_F(Post, ThePostGoesToTheResolvedPathAndItsAnswerIsTakenWhenUsable) {
  const struct {
    const char *site, *path;
    int status;
    std::string answer;
    const char* target;
    std::optional<std::string> response;
  } cases[] = {
      {"/post.php?old=1", "?mid=5&sid=7&rid=1234", 200, "OK", "/post.php?mid=5&sid=7&rid=1234", "OK"},
      {"/s/t?q=1", "", 200, "OK", "/s/t?q=1", "OK"},
      {"/post", "?x=1", 204, "", "/post?x=1", ""},
      {"/post", "?x=1", 500, "server error page", "/post?x=1", std::nullopt},
      {"/post", "?x=1", 200, "re\xE7u", "/post?x=1", "re\xC3\xA7u"},
  };
  for (const auto& c : cases) {
    status = c.status;
    answer = c.answer;
    std::string site = server.url(c.site);
    site.insert(7, " ");  // "http:// 127.0.0.1..."
    EXPECT_EQ(Communications::initWithBaseURLString(site + " ").sendDataToURLString(c.path, "<a>caf\xC3\xA9</a>"),
              c.response);
    const RecordedRequest request = server.requests().back();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, c.target);
    EXPECT_EQ(request.header("Content-Type"), "application/html");
    EXPECT_EQ(request.body, "<a>caf\xC3\xA9</a>");
  }
}

// Only http and https are spoken and an answer is kept only up to 1 MiB: no
// file is read, no large answer logged, and an endless one is cut off rather
// than read whole, so the server gets out no more than the socket buffers hold.
TEST_F(Post, UnusableSitesAndLargeAnswersFailWithALogLine) {
  const struct {
    std::string site, logged;
  } cases[] = {
      {"file:///etc/shadow", "refused file:///etc/shadow: only http and https sites are posted to"},
      {"ftp://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/x", ": only http and https sites are posted to"},
      {server.url("/to-file"), "proxy error = Error Domain=ASIHTTPRequestErrorDomain Code=5 "},
      {server.url("/endless"), "Response refused: the answer is larger than 1048576 bytes\n"},
      {"not a url", "Code=5 \"Unable to create request (bad url?)\""},
      {"http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/post",
       "Code=1 \"A connection failure occurred\" UserInfo={NSUnderlyingError=curl error 7: "},  // refused
  };
  for (const auto& c : cases) {
    const std::string log = stdoutOf([&] {
      EXPECT_EQ(Communications::initWithBaseURLString(c.site).sendDataToURLString("", "report"), std::nullopt)
          << c.site;
    });
    EXPECT_THAT(log, HasSubstr(c.logged));
    EXPECT_THAT(log, Not(HasSubstr("root:")));
    EXPECT_THAT(log, Not(HasSubstr("LLLL")));
  }
  EXPECT_LT(endlessSent.load(), 32LL << 20);
}

// A usable proxy answer ends the post; a failure status, an answer over 1 MiB
// (refused with a log line, never logged) or a proxy that is not there is
// followed by the direct post. A port beyond 65535 (here one that would wrap to
// the proxy's) is no proxy.
TEST_F(Post, OnlyAUsableProxyAnswerEndsThePost) {
  Tinyproxy proxy;
  ASSERT_TRUE(proxy.running());
  answer = "direct";
  const int64_t wraps = proxy.port() + (int64_t{1} << 32);
  const struct {
    int status;
    std::string answer;
    const char* response;
    size_t requests;
    int64_t port;
  } cases[] = {{200, "via proxy", "via proxy", 1, proxy.port()},
               {500, "error", "direct", 3, proxy.port()},
               {200, std::string(2 << 20, 'P'), "direct", 5, proxy.port()},
               {200, "via proxy", "direct", 6, wraps},
               {200, "via proxy", "direct", 7, 1}};
  for (const auto& c : cases) {
    proxyStatus = c.status;
    proxyAnswer = c.answer;
    ::testing::internal::CaptureStdout();
    const auto response =
        Communications::initWithBaseURLString(server.url("/post"), ProxyRoute{"127.0.0.1", c.port, {}, {}})
            .sendDataToURLString("?a=1", "x");
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(response, c.response);
    EXPECT_EQ(server.requests().size(), c.requests);
    EXPECT_EQ(log.find("Response refused: the answer is larger than 1048576 bytes\n") != std::string::npos,
              c.answer.size() > (1 << 20));
    EXPECT_THAT(log, Not(HasSubstr("PPPP")));
    EXPECT_EQ(log.find("proxy port " + std::to_string(c.port) + " is out of range; the proxy is not used") !=
                  std::string::npos,
              c.port == wraps);
  }
}

}  // namespace
}  // namespace brim::test
