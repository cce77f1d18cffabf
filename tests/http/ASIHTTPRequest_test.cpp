// The request engine against real loopback servers, directly and through a
// real forward proxy (tinyproxy).
#include "http/ASIHTTPRequest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/LoopbackPeers.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

using Strings = std::vector<std::string>;
using Account = std::pair<std::string, std::string>;

const Account kAccount{"agent", "s3cret"};

// Without a proxy port the request names no proxy at all; with one, the proxy 127.0.0.1 on that port.
ASIHTTPRequest send(const std::string& url, std::string_view body = {}, std::optional<int> proxyPort = std::nullopt,
                    std::optional<Account> credentials = std::nullopt) {
  ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(url);
  if (proxyPort) {
    request.setProxyHost("127.0.0.1");
    request.setProxyPort(*proxyPort);
  }
  if (credentials) {
    request.setProxyUsername(credentials->first);
    request.setProxyPassword(credentials->second);
  }
  request.setResponseEncoding(std::string(kUTF8StringEncoding));
  request.appendPostData(body);
  request.startSynchronous();
  return request;
}

// The request ended with that error of the engine's domain and nothing more.
void expectError(const ASIHTTPRequest& request, int code, const std::string& text) {
  ASSERT_TRUE(request.error().has_value()) << "status " << request.responseStatusCode();
  EXPECT_EQ(request.error()->domain, "ASIHTTPRequestErrorDomain");
  EXPECT_EQ(request.error()->code, code) << request.error()->underlyingError.value_or("");
  EXPECT_EQ(request.error()->localizedDescription, text);
  EXPECT_TRUE(request.complete());
}

// A GET hands out a cookie for /echo; a POST tells how much it got.
LoopbackHttpServer::Routes echoRoutes() {
  return [](httplib::Server& server) {
    server.Get("/echo", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "session=abc123; Path=/echo");
      res.set_content("got it", "text/plain");
    });
    server.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("got " + std::to_string(req.body.size()) + " bytes", "text/plain; charset=utf-8");
    });
  };
}

// Proxy port 0 is no proxy and the environment's proxy variables name none:
// only the configured proxy carries a request. The cookie a response set goes
// out with the later requests of the process.
TEST(RequestMessage, EmptyBodyIsAGetAndABodyAPostWithOnlyItsLengthDirectOrThroughTheConfiguredProxy) {
  Tinyproxy configured;
  Tinyproxy environmental(kAccount);  // a request sent through it would fail with 407
  ASSERT_TRUE(configured.running() && environmental.running()) << configured.log() << environmental.log();
  const ScopedEnvironment environment({"http_proxy", "HTTP_PROXY", "ALL_PROXY"},
                                      "http://127.0.0.1:" + std::to_string(environmental.port()));
  const ScopedEnvironment exempt({"no_proxy", "NO_PROXY"}, "*");
  LoopbackHttpServer server(echoRoutes());
  const ASIHTTPRequest get = send(server.url("/echo"), {}, 0);
  EXPECT_FALSE(get.error());
  EXPECT_EQ(get.responseStatusCode(), 200);
  EXPECT_EQ(get.responseString(), "got it");
  for (const std::optional<int> proxyPort : {std::optional<int>(), std::optional(configured.port())}) {
    const ASIHTTPRequest post = send(server.url("/echo"), std::string(1000, 'x'), proxyPort);
    EXPECT_EQ(post.requestMethod(), "POST");
    EXPECT_EQ(post.responseString(), "got 1000 bytes");
  }

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].headerNames(), (Strings{"accept-encoding", "host"}));
  // No "Content-Type", no "Expect", no "Accept" and no "User-Agent" of the transport's own.
  EXPECT_EQ(requests[1].headerNames(), (Strings{"accept-encoding", "content-length", "cookie", "host"}));
  EXPECT_EQ(requests[1].header("Accept-Encoding"), "gzip");
  EXPECT_EQ(requests[1].header("Cookie"), "session=abc123");
  EXPECT_TRUE(requests[2].header("Via").has_value()) << "did not pass the proxy";
  for (const RecordedRequest& post : {requests[1], requests[2]}) {
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.header("Content-Length"), "1000");
    EXPECT_EQ(post.header("Content-Type"), std::nullopt);
    EXPECT_EQ(post.body, std::string(1000, 'x'));
  }
}

// The server gzips every text answer, since the request announces gzip: the
// text is handed over decoded.
TEST(ResponseText, IsUnzippedAndDecodedWithTheCharsetTheResponseNamesElseAsLatin1) {
  const auto cases = fixtureCases("http/response-texts.cases", 5);
  LoopbackHttpServer server([&](httplib::Server& routes) {
    routes.Get(R"(/case/(\d+))", [&cases](const httplib::Request& req, httplib::Response& res) {
      const auto& c = cases[std::stoul(req.matches[1])];
      res.set_content(c[2], c[1]);
    });
  });
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string &body = cases[i][2], &expected = cases[i][3];
    SCOPED_TRACE(cases[i][0]);
    const ASIHTTPRequest request = send(server.url("/case/" + std::to_string(i)));
    EXPECT_FALSE(request.error());
    // httplib sends an empty answer as it is.
    EXPECT_EQ(headerValue(request.responseHeaders(), "Content-Encoding"),
              body.empty() ? std::nullopt : std::optional<std::string>("gzip"));
    EXPECT_EQ(request.responseString(), expected == "(none)" ? std::nullopt : std::optional(expected));
    EXPECT_EQ(request.responseEncoding(), cases[i][4]);
  }
}

// Five redirects in a row are followed; the sixth is not and fails.
TEST(Redirects, SeeOtherKindsTurnIntoABareGetWhile307RepeatsTheRequestAndTheSixthInARowFails) {
  LoopbackHttpServer server([](httplib::Server& routes) {
    routes.Get(R"(/chain/(\d+)/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      const int length = std::stoi(req.matches[1]);
      const int hop = std::stoi(req.matches[2]);
      if (hop == length) return res.set_content("end of chain", "text/plain");
      res.set_redirect("/chain/" + std::to_string(length) + "/" + std::to_string(hop + 1), 302);
    });
    routes.Post(R"(/from/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      res.status = std::stoi(req.matches[1]);
      res.set_header("Location", "../to/" + std::string(req.matches[1]) + "?again=1");  // relative to the request
    });
    const auto landed = [](const httplib::Request&, httplib::Response& res) {
      res.set_content("landed", "text/plain");
    };
    routes.Get(R"(/to/\d+)", landed);
    routes.Post(R"(/to/\d+)", landed);
  });
  for (const int status : {301, 302, 303, 307}) {
    SCOPED_TRACE(status);
    const bool repeated = status == 307;
    const std::string code = std::to_string(status);
    ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(server.url("/from/" + code));
    request.addRequestHeader("User-Agent", "probe/1");
    request.addRequestHeader("Accept", "text/plain");
    request.addRequestHeader("X-Extra", "kept only by 307");
    request.appendPostData("payload");
    request.startSynchronous();

    EXPECT_FALSE(request.error());
    EXPECT_EQ(request.responseString(), "landed");
    EXPECT_EQ(request.redirectCount(), 1);
    EXPECT_EQ(request.url(), server.url("/to/" + code + "?again=1"));
    const RecordedRequest followed = server.requests().back();
    EXPECT_EQ(followed.target, "/to/" + code + "?again=1");
    EXPECT_EQ(followed.method, repeated ? "POST" : "GET");
    EXPECT_EQ(followed.body, repeated ? "payload" : "");
    EXPECT_EQ(followed.headerNames(),
              (repeated ? Strings{"accept", "accept-encoding", "content-length", "host", "user-agent", "x-extra"}
                        : Strings{"accept", "accept-encoding", "host", "user-agent"}));
    EXPECT_EQ(followed.header("User-Agent"), "probe/1");
  }

  const ASIHTTPRequest five = send(server.url("/chain/5/0"));
  EXPECT_FALSE(five.error());
  EXPECT_EQ(five.responseString(), "end of chain");
  EXPECT_EQ(five.redirectCount(), 5);
  const ASIHTTPRequest six = send(server.url("/chain/6/0"));
  expectError(six, 9, "The request failed because it redirected too many times");
  EXPECT_EQ(six.responseStatusCode(), 302);
  // Two requests for each redirect above, then hops 0 to 5 of each chain: the second's hop 6 is never asked for.
  EXPECT_EQ(server.requests().size(), 4u * 2 + 6u + 6u);
  EXPECT_EQ(server.requests().back().target, "/chain/6/5");
}

// httplib announces the server's keep-alive as "Keep-Alive: timeout=.., max=..".
TEST(ConnectionReuse, FollowsTheKeepAliveTheServerAnnounces) {
  for (const auto& reuse : fixtureCases("http/connection-reuse.cases", 3)) {
    SCOPED_TRACE(reuse[0] + " " + reuse[1]);
    LoopbackHttpServer server([&](httplib::Server& routes) {
      routes.set_keep_alive_max_count(std::stoul(reuse[0]));
      routes.set_keep_alive_timeout(2);
      routes.Post("/echo", [&](const httplib::Request&, httplib::Response& res) {
        if (reuse[1] == "close") res.set_header("Connection", "close");
        res.set_content("ok", "text/plain");
      });
    });
    const ASIHTTPRequest first = send(server.url("/echo"), "one");
    ASSERT_FALSE(first.error());
    EXPECT_FALSE(send(server.url("/echo"), "two").error());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].remotePort == requests[1].remotePort, reuse[2] == "reused");
  }
}

// A connection closed without an answer is retried once on a new one. Only
// http and https are spoken, also after a redirect (error 5). A refused
// connection, or one closed twice without an answer, is a connection failure.
// (That an answer over 1 MiB is refused shows in the post client's proxy attempt.)
TEST(RequestFailures, ABrokenConnectionIsRetriedOnceAndEveryOtherFailureEndsInAnErrorOfItsKind) {
  RawTcpServer flaky([](int fd, int index, const std::atomic<bool>&) {
    RawTcpServer::readRequest(fd);
    if (index == 0) return;  // closed without a word
    RawTcpServer::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\nsecond");
  });
  const ASIHTTPRequest recovered = send(flaky.url("/post"), "report");
  EXPECT_FALSE(recovered.error());
  EXPECT_EQ(recovered.responseString(), "second");
  EXPECT_EQ(recovered.retryCount(), 1);
  EXPECT_EQ(flaky.connections(), 2);

  LoopbackHttpServer server([](httplib::Server& routes) {
    routes.Post("/to-file", [](auto&, httplib::Response& res) { res.set_redirect("file:///etc/passwd", 307); });
  });
  RawTcpServer mute([](int fd, int, const std::atomic<bool>&) { RawTcpServer::readRequest(fd); });
  for (const auto& row : fixtureCases("http/request-failures.cases", 3)) {
    const std::string url = replacedAll(
        row[0],
        {{"@SERVER@", server.url("")}, {"@MUTE@", mute.url("")}, {"@UNUSED@", std::to_string(unusedLoopbackPort())}});
    const int code = std::stoi(row[1]);
    SCOPED_TRACE(url);
    const ASIHTTPRequest request = send(url, "report");
    expectError(request, code, code == 5 ? "Unable to create request (bad url?)" : "A connection failure occurred");
    EXPECT_EQ(request.responseStatusCode(), std::stoi(row[2]));
    EXPECT_EQ(request.responseString(), std::nullopt);
    EXPECT_EQ(request.error()->underlyingError.has_value(), code == 1);
  }
  EXPECT_EQ(mute.connections(), 2);
}

// A time-out is final (no retry) and ends the request with error 2: after ten
// idle seconds; after fifteen while a body the server does not read is still
// stuck on its way out (32 MiB, far more than loopback buffers hold); and, when
// the caller bounds the whole request, even while an answer keeps coming.
// How long each waited is only sanity-checked.
TEST(RequestTimeOut, AnIdleRequestOrOneOverItsBoundEnds) {
  // Holds the connection and says nothing; a small body fits in the socket buffers unread.
  const RawTcpServer::Handler silent = [](int, int, const std::atomic<bool>& stopping) {
    while (!stopping) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  };
  const RawTcpServer::Handler trickle = [](int fd, int, const std::atomic<bool>& stopping) {
    RawTcpServer::readRequest(fd);
    RawTcpServer::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
    for (int i = 0; i < 1000 && !stopping; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(200)))
      RawTcpServer::sendAll(fd, "t");
  };
  const struct {
    const RawTcpServer::Handler& handler;
    size_t bodySize;
    int bound, atLeast;
  } cases[] = {{silent, 6, 0, 9}, {silent, 32 << 20, 0, 14}, {trickle, 6, 2, 1}};
  for (const auto& c : cases) {
    RawTcpServer server(c.handler);
    ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(server.url("/post"));
    request.appendPostData(std::string(c.bodySize, 'x'));
    request.setMaximumDuration(std::chrono::seconds(c.bound));
    const auto started = std::chrono::steady_clock::now();
    request.startSynchronous();
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(c.atLeast));
    expectError(request, 2, "The request timed out");
    EXPECT_EQ(server.connections(), 1);
  }
}

// Missing or refused credentials end in "Authentication needed", for http and
// for an https tunnel alike; refused ones are not remembered (they would go
// out first and spoil the right ones), and those that worked go out at once
// with the later requests of the process.
TEST(ProxyAuthentication, CredentialsThatWorkServeTheProcessAndNoneOrRefusedOnesEndTheRequest) {
  BRIM_LINUX_ONLY("the https peer's certificate is made with libcrypto");
  Tinyproxy proxy(kAccount);
  ASSERT_TRUE(proxy.running()) << proxy.log();
  LoopbackHttpServer server(echoRoutes());
  LoopbackHttpServer tls(echoRoutes(), true);
  const ASIHTTPRequest without = send(server.url("/echo"), "report", proxy.port());
  expectError(without, 3, "Authentication needed");
  EXPECT_EQ(without.responseStatusCode(), 407);
  const ASIHTTPRequest refused = send(server.url("/echo"), "report", proxy.port(), Account{kAccount.first, "wrong"});
  expectError(refused, 3, "Authentication needed");
  // tinyproxy answers credentials it refuses with 401 rather than another 407.
  EXPECT_EQ(refused.responseStatusCode(), 401);
  expectError(send(tls.url("/echo"), "report", proxy.port()), 3, "Authentication needed");
  EXPECT_TRUE(server.requests().empty());

  // With the credentials the tunnel opens and the server's certificate is checked, and refused.
  expectError(send(tls.url("/echo"), "report", proxy.port(), kAccount), 1,
              "A connection failure occurred: SSL problem (Possible causes may include a bad/expired/self-signed "
              "certificate, clock set to wrong date)");
  EXPECT_NE(proxy.log().find("CONNECT"), std::string::npos) << proxy.log();
  EXPECT_TRUE(tls.requests().empty());
  EXPECT_EQ(send(server.url("/echo"), "first", proxy.port(), kAccount).responseString(), "got 5 bytes");
  EXPECT_EQ(send(server.url("/echo"), "second", proxy.port()).responseString(), "got 6 bytes");
  EXPECT_EQ(server.requests().size(), 2u);
}

// The challenge is answered once with credentials of a scheme the engine
// speaks; a second challenge, or one it cannot answer, ends the request.
TEST(ProxyAuthentication, AProxyThatKeepsChallengingIsAnsweredOnceAtMost) {
  for (const auto& challenge : fixtureCases("http/proxy-challenges.cases", 4)) {
    SCOPED_TRACE(challenge[0]);
    // The proxy is asked for the absolute URL, which the catch-all route takes as its path.
    LoopbackHttpServer challenger([&](httplib::Server& routes) {
      routes.Post(".*", [&](const httplib::Request&, httplib::Response& res) {
        res.status = 407;
        if (challenge[0] != "(none)") res.set_header("Proxy-Authenticate", challenge[0]);
      });
    });
    const ASIHTTPRequest request = send("http://127.0.0.1:1/echo", "report", challenger.port(), kAccount);
    expectError(request, std::stoi(challenge[1]), challenge[2]);
    EXPECT_EQ(request.responseStatusCode(), 407);
    std::string sent;
    for (const RecordedRequest& received : challenger.requests())
      sent += (sent.empty() ? "" : ", ") + received.header("Proxy-Authorization").value_or("(none)");
    EXPECT_EQ(sent, challenge[3]);
  }
}

}  // namespace
}  // namespace brim::test
