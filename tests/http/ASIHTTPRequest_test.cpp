// The request engine against real loopback servers, without a proxy.
#include "http/ASIHTTPRequest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "RequestExpectations.h"
#include "support/LoopbackPeers.h"

namespace brim::test {
namespace {

using Strings = std::vector<std::string>;

ASIHTTPRequest send(const std::string& url, std::string_view body = {}) {
  ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(url);
  request.appendPostData(body);
  request.startSynchronous();
  return request;
}

LoopbackHttpServer::Routes echoRoutes() {
  return [](httplib::Server& server) {
    server.Get("/echo",
               [](const httplib::Request&, httplib::Response& res) { res.set_content("got it", "text/plain"); });
    server.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("got " + std::to_string(req.body.size()) + " bytes", "text/plain");
    });
  };
}

TEST(RequestMessage, EmptyBodyIsAGetWithoutContentLengthAndBodyIsAPostWithOnlyItsLength) {
  LoopbackHttpServer server(echoRoutes());
  const ASIHTTPRequest get = send(server.url("/echo"));
  const ASIHTTPRequest post = send(server.url("/echo"), std::string(1000, 'x'));

  EXPECT_FALSE(get.error());
  EXPECT_EQ(get.responseStatusCode(), 200);
  EXPECT_EQ(get.responseString(), "got it");
  EXPECT_EQ(post.requestMethod(), "POST");
  EXPECT_EQ(post.responseString(), "got 1000 bytes");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].headerNames(), (Strings{"accept-encoding", "host"}));
  EXPECT_EQ(requests[1].method, "POST");
  // No "Content-Type", no "Expect", no "Accept" and no "User-Agent" of the transport's own.
  EXPECT_EQ(requests[1].headerNames(), (Strings{"accept-encoding", "content-length", "host"}));
  EXPECT_EQ(requests[1].header("Content-Length"), "1000");
  EXPECT_EQ(requests[1].header("Accept-Encoding"), "gzip");
  EXPECT_EQ(requests[1].body, std::string(1000, 'x'));
}

struct DecodingCase {
  const char* name;
  const char* contentType;
  std::string body;
  std::optional<std::string> expected;
  const char* encodingAfter;
};

TEST(ResponseText, IsDecodedWithTheCharsetTheResponseNamesElseAsLatin1) {
  const std::vector<DecodingCase> cases = {
      {"utf8", "text/plain; charset=utf-8", "caf\xC3\xA9", "caf\xC3\xA9", "utf-8"},
      {"quoted", "text/html; charset=\"UTF-8\"", "\xE2\x82\xAC", "\xE2\x82\xAC", "UTF-8"},
      {"no charset", "text/plain", "caf\xE9", "caf\xC3\xA9", "ISO-8859-1"},
      // The caller asks for UTF-8, but a response without a charset is read as Latin-1 all the same.
      {"caller utf8 lost", "text/plain", "caf\xC3\xA9", "caf\xC3\x83\xC2\xA9", "ISO-8859-1"},
      {"unknown charset", "text/plain; charset=x-no-such-set", "caf\xE9", "caf\xC3\xA9", "ISO-8859-1"},
      {"windows-1252", "text/plain; charset=windows-1252", "\x80", "\xE2\x82\xAC", "windows-1252"},
      {"invalid utf8", "text/plain; charset=utf-8", "caf\xE9", std::nullopt, "utf-8"},
      {"empty body", "text/plain; charset=utf-8", "", std::nullopt, "utf-8"},
  };
  LoopbackHttpServer server([&](httplib::Server& routes) {
    for (size_t i = 0; i < cases.size(); ++i) {
      routes.Get("/case" + std::to_string(i), [&cases, i](const httplib::Request&, httplib::Response& res) {
        res.set_content(cases[i].body, cases[i].contentType);
      });
    }
  });
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(server.url("/case" + std::to_string(i)));
    request.setResponseEncoding(std::string(kUTF8StringEncoding));
    request.startSynchronous();
    EXPECT_FALSE(request.error());
    EXPECT_EQ(request.responseString(), cases[i].expected);
    EXPECT_EQ(request.responseEncoding(), cases[i].encodingAfter);
  }
}

TEST(ResponseText, GzipBodyIsHandedOverDecoded) {
  const std::string text = "<wpmacsmartsts>" + std::string(2000, 'a') + "</wpmacsmartsts>";
  RawTcpServer server([&](int fd, int, const std::atomic<bool>&) {
    RawTcpServer::readRequest(fd);
    const std::string body = gzipped(text);
    RawTcpServer::sendAll(fd,
                          "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Encoding: gzip\r\n"
                          "Connection: close\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\n\r\n" + body);
  });
  const ASIHTTPRequest request = send(server.url("/report"), "body");
  EXPECT_FALSE(request.error());
  EXPECT_EQ(request.responseString(), text);
}

struct RedirectCase {
  int status;
  const char* method;
  const char* body;
  Strings headers;
};

TEST(Redirects, SeeOtherKindsTurnIntoABareGetWhile307RepeatsTheRequest) {
  const std::vector<RedirectCase> cases = {
      {301, "GET", "", {"accept", "accept-encoding", "host", "user-agent"}},
      {302, "GET", "", {"accept", "accept-encoding", "host", "user-agent"}},
      {303, "GET", "", {"accept", "accept-encoding", "host", "user-agent"}},
      {307, "POST", "payload", {"accept", "accept-encoding", "content-length", "host", "user-agent", "x-extra"}},
  };
  LoopbackHttpServer server([](httplib::Server& routes) {
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
  for (const RedirectCase& redirect : cases) {
    SCOPED_TRACE(redirect.status);
    const std::string code = std::to_string(redirect.status);
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
    EXPECT_EQ(followed.method, redirect.method);
    EXPECT_EQ(followed.body, redirect.body);
    EXPECT_EQ(followed.headerNames(), redirect.headers);
    EXPECT_EQ(followed.header("User-Agent"), "probe/1");
  }
}

TEST(Redirects, FiveAreFollowedAndTheSixthFails) {
  LoopbackHttpServer server([](httplib::Server& routes) {
    routes.Get(R"(/chain/(\d+)/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      const int length = std::stoi(req.matches[1]);
      const int hop = std::stoi(req.matches[2]);
      if (hop == length) return res.set_content("end of chain", "text/plain");
      res.set_redirect("/chain/" + std::to_string(length) + "/" + std::to_string(hop + 1), 302);
    });
  });
  const ASIHTTPRequest five = send(server.url("/chain/5/0"));
  EXPECT_FALSE(five.error());
  EXPECT_EQ(five.responseString(), "end of chain");
  EXPECT_EQ(five.redirectCount(), 5);

  const ASIHTTPRequest six = send(server.url("/chain/6/0"));
  expectError(six, 9, "The request failed because it redirected too many times");
  EXPECT_EQ(six.responseStatusCode(), 302);
  // The sixth redirect is not followed: hops 0 to 5 of the second chain were asked for, not 6.
  EXPECT_EQ(server.requests().size(), 6u + 6u);
  EXPECT_EQ(server.requests().back().target, "/chain/6/5");
}

TEST(Cookies, ASetCookieIsSentWithLaterRequestsOfTheProcess) {
  LoopbackHttpServer server([](httplib::Server& routes) {
    routes.Get("/login", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "session=abc123; Path=/");
      res.set_content("welcome", "text/plain");
    });
    routes.Post("/report",
                [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
  });
  EXPECT_FALSE(send(server.url("/login")).error());
  const ASIHTTPRequest report = send(server.url("/report"), "data");
  EXPECT_FALSE(report.error());
  EXPECT_EQ(server.requests().front().header("Cookie"), std::nullopt);
  EXPECT_EQ(server.requests().back().header("Cookie"), "session=abc123");
}

struct ReuseCase {
  const char* name;
  size_t keepAliveMax;  // httplib announces it as "Keep-Alive: timeout=.., max=.."
  bool closes;
  bool reused;
};

TEST(ConnectionReuse, FollowsTheKeepAliveTheServerAnnounces) {
  const std::vector<ReuseCase> cases = {
      {"max 100", 100, false, true},
      {"max 5", 5, false, false},  // fewer than six requests left: not worth keeping
      {"close", 100, true, false},
  };
  for (const ReuseCase& reuse : cases) {
    SCOPED_TRACE(reuse.name);
    LoopbackHttpServer server([&](httplib::Server& routes) {
      routes.set_keep_alive_max_count(reuse.keepAliveMax);
      routes.set_keep_alive_timeout(2);
      routes.Post("/echo", [&](const httplib::Request&, httplib::Response& res) {
        if (reuse.closes) res.set_header("Connection", "close");
        res.set_content("ok", "text/plain");
      });
    });
    const ASIHTTPRequest first = send(server.url("/echo"), "one");
    ASSERT_FALSE(first.error());
    if (!reuse.closes) {
      EXPECT_EQ(headerValue(first.responseHeaders(), "Keep-Alive"),
                "timeout=2, max=" + std::to_string(reuse.keepAliveMax));
    }
    EXPECT_FALSE(send(server.url("/echo"), "two").error());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].remotePort == requests[1].remotePort, reuse.reused);
  }
}

TEST(BrokenConnections, AConnectionClosedWithoutAnswerIsRetriedOnceOnANewOne) {
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

  RawTcpServer mute([](int fd, int, const std::atomic<bool>&) { RawTcpServer::readRequest(fd); });
  const ASIHTTPRequest failed = send(mute.url("/post"), "report");
  expectError(failed, 1, "A connection failure occurred");
  EXPECT_TRUE(failed.error()->underlyingError.has_value());
  EXPECT_EQ(failed.responseStatusCode(), 0);
  EXPECT_EQ(failed.responseString(), std::nullopt);
  EXPECT_EQ(mute.connections(), 2);
}

// Only http and https are spoken, also after a redirect; an answer over 1 MiB is
// refused unkept; a server certificate nobody vouches for is a secure transport problem.
TEST(RequestFailures, UnusableAddressesAndAnswersEndInTheirOwnErrors) {
  LoopbackHttpServer server([](httplib::Server& routes) {
    routes.Post("/to-file", [](auto&, httplib::Response& res) { res.set_redirect("file:///etc/passwd", 307); });
    routes.Post("/large", [](auto&, httplib::Response& res) { res.set_content(std::string(2 << 20, 'L'), "a/b"); });
  });
  for (const std::string& url :
       Strings{"not a url", "ftp://127.0.0.1/file", "file:///etc/passwd", server.url("/to-file")})
    expectError(send(url, "x"), 5, "Unable to create request (bad url?)");
  const ASIHTTPRequest refused = send("http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/post", "x");
  expectError(refused, 1, "A connection failure occurred");
  EXPECT_EQ(refused.responseStatusCode(), 0);
  const ASIHTTPRequest large = send(server.url("/large"), "report");
  expectError(large, 1, "A connection failure occurred");
  EXPECT_TRUE(large.responseTooLarge());
  EXPECT_EQ(large.rawResponseData(), "");

  auto tls = LoopbackHttpServer::withSelfSignedCertificate(echoRoutes());
  expectError(send(tls->url("/echo"), "secret"), 1,
              "A connection failure occurred: SSL problem (Possible causes may include a bad/expired/self-signed "
              "certificate, clock set to wrong date)");
  EXPECT_TRUE(tls->requests().empty());
}

// A time-out is final (no retry) and ends the request with error 2: after ten
// idle seconds; after fifteen while a body the server does not read is still
// stuck on its way out (32 MiB, far more than loopback buffers hold); and, when
// the caller bounds the whole request, even while an answer keeps coming.
// How long each waited is only sanity-checked.
TEST(RequestTimeOut, AnIdleRequestOrOneOverItsBoundEnds) {
  const RawTcpServer::Handler silent = [](int fd, int, const std::atomic<bool>& stopping) {
    RawTcpServer::readRequest(fd);
    RawTcpServer::waitForClose(fd, stopping);
  };
  const RawTcpServer::Handler deaf = [](int, int, const std::atomic<bool>& stopping) {
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
  } cases[] = {{silent, 6, 0, 9}, {deaf, 32 << 20, 0, 14}, {trickle, 6, 2, 1}};
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

}  // namespace
}  // namespace brim::test
