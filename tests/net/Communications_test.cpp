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
  for (const auto& c : fixtureCases("net/posts.cases", 6)) {
    status = std::stoi(c[2]);
    answer = c[3];
    std::string site = server.url(c[0]);
    site.insert(7, " ");  // "http:// 127.0.0.1..."
    EXPECT_EQ(Communications::initWithBaseURLString(site + " ").sendDataToURLString(c[1], "<a>caf\xC3\xA9</a>"),
              c[5] == "(none)" ? std::nullopt : std::optional(c[5]));
    const RecordedRequest request = server.requests().back();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, c[4]);
    EXPECT_EQ(request.header("Content-Type"), "application/html");
    EXPECT_EQ(request.body, "<a>caf\xC3\xA9</a>");
  }
}

// Only http and https are spoken and an answer is kept only up to 1 MiB: no
// file is read, no large answer logged, and an endless one is cut off rather
// than read whole, so the server gets out no more than the socket buffers hold.
TEST_F(Post, UnusableSitesAndLargeAnswersFailWithALogLine) {
  for (const auto& c : fixtureCases("net/unusable-sites.cases", 2)) {
    const std::string site =
        replacedAll(c[0], {{"@SERVER@", server.url("")}, {"@UNUSED@", std::to_string(unusedLoopbackPort())}});
    const std::string log = stdoutOf([&] {
      EXPECT_EQ(Communications::initWithBaseURLString(site).sendDataToURLString("", "report"), std::nullopt) << site;
    });
    EXPECT_THAT(log, HasSubstr(c[1]));
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
