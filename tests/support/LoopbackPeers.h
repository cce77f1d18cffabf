#pragma once
// Peers for tests that speak HTTP: a recording HTTP(S) server, a raw TCP server
// for misbehaving peers and a real forward proxy. All of them listen on
// 127.0.0.1 on ports the kernel hands out, and stop when they go out of scope.
#include <httplib.h>
#include <sys/types.h>

#include <atomic>
#include <cctype>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "support/Sandbox.h"

namespace brim::test {

struct RecordedRequest {
  std::string method;
  std::string target;  // path and query as sent
  httplib::Headers headers;
  std::string body;
  int remotePort = 0;

  std::optional<std::string> header(const std::string& name) const {
    const auto found = headers.find(name);  // httplib compares header names without case
    return found == headers.end() ? std::nullopt : std::optional(found->second);
  }
  std::vector<std::string> headerNames() const {  // lower case, sorted
    std::vector<std::string> names;
    for (const auto& field : headers) {  // httplib keeps them sorted without case
      names.push_back(field.first);
      for (char& c : names.back()) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return names;
  }
};

// httplib::Server running on its own thread; every request is recorded before
// its answer goes out. With selfSignedTls it speaks https with a certificate
// no client trusts. (A thread member leaves this and RawTcpServer uncopyable.)
class LoopbackHttpServer {
 public:
  using Routes = std::function<void(httplib::Server&)>;
  explicit LoopbackHttpServer(const Routes& routes, bool selfSignedTls = false);
  ~LoopbackHttpServer();

  int port() const { return port_; }
  std::string url(std::string_view path) const {  // http(s)://127.0.0.1:<port><path>
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }
  std::vector<RecordedRequest> requests() const {
    const std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
  }

 private:
  std::unique_ptr<httplib::Server> server_;
  bool tls_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;
};

// Accepts connections one after the other and gives each to the handler with
// its index (0 for the first). For peers that close, stall or send bytes that
// no well-behaved server library would.
class RawTcpServer {
 public:
  using Handler = std::function<void(int fd, int index, const std::atomic<bool>& stopping)>;
  explicit RawTcpServer(Handler handler);
  ~RawTcpServer();

  std::string url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }
  int connections() const { return connections_; }

  // Reads one request, all the client sends before it waits for an answer.
  static std::string readRequest(int fd);
  static void sendAll(int fd, std::string_view bytes);

 private:
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

// tinyproxy in the foreground with a configuration of its own in a temporary
// directory; it marks what it forwards with a "Via" header, and with
// credentials it answers 407 to requests without them.
class Tinyproxy {
 public:
  explicit Tinyproxy(std::optional<std::pair<std::string, std::string>> basicAuth = std::nullopt);
  ~Tinyproxy();
  Tinyproxy(const Tinyproxy&) = delete;
  Tinyproxy& operator=(const Tinyproxy&) = delete;

  int port() const { return port_; }
  bool running() const { return pid_ > 0; }
  std::string log() const { return readFile(dir_ + "/tinyproxy.out"); }

 private:
  std::string dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};

// A port on 127.0.0.1 that nothing listened on a moment ago.
int unusedLoopbackPort();

}  // namespace brim::test
