#include "support/LoopbackPeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
#include <openssl/evp.h>
#include <openssl/x509.h>
#endif

#include <chrono>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace brim::test {
namespace {

// A socket no child process inherits, made with POSIX calls only (macOS has no SOCK_CLOEXEC);
// a peer that went away makes a send fail rather than raise SIGPIPE.
int peerSocket(int fd) {
  if (fd < 0) return fd;
  fcntl(fd, F_SETFD, FD_CLOEXEC);
#ifdef SO_NOSIGPIPE
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
  return fd;
}
#ifdef MSG_NOSIGNAL
constexpr int kNoSigPipe = MSG_NOSIGNAL;
#else
constexpr int kNoSigPipe = 0;  // the socket says so (SO_NOSIGPIPE)
#endif

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

// A socket bound to a port on 127.0.0.1 that the kernel hands out; port is set to it.
int boundLoopbackSocket(int& port) {
  const int fd = peerSocket(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("no loopback socket");
  port = ntohs(address.sin_port);
  return fd;
}

bool acceptsConnections(int port) {
  const int fd = peerSocket(socket(AF_INET, SOCK_STREAM, 0));
  const sockaddr_in address = loopback(port);
  const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

// Waits up to `milliseconds` for the fd to become readable; false on time-out.
bool readable(int fd, int milliseconds) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, milliseconds) > 0;
}

std::unique_ptr<httplib::Server> selfSignedTlsServer() {
#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
  throw std::logic_error("no TLS peer: this build's tests do not link libcrypto");
#else
  EVP_PKEY* key = EVP_EC_gen("prime256v1");
  X509* certificate = X509_new();
  X509_gmtime_adj(X509_getm_notBefore(certificate), -60);
  X509_gmtime_adj(X509_getm_notAfter(certificate), 24 * 3600);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(certificate, name);
  X509_sign(certificate, key, EVP_sha256());
  auto server = std::make_unique<httplib::SSLServer>(certificate, key);
  X509_free(certificate);
  EVP_PKEY_free(key);
  return server;
#endif
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(const Routes& routes, bool selfSignedTls)
    : server_(selfSignedTls ? selfSignedTlsServer() : std::make_unique<httplib::Server>()), tls_(selfSignedTls) {
  // Short keep-alive waits: a connection left open in the client's pool would
  // otherwise hold up stop() for the server's whole keep-alive time-out.
  server_->set_keep_alive_timeout(1);
  // Recorded after the handler has read the body, before the answer goes out.
  server_->set_post_routing_handler([this](const httplib::Request& request, httplib::Response&) {
    RecordedRequest recorded{request.method, request.target, request.headers, request.body, request.remote_port};
    // httplib files the peer's addresses among the headers.
    for (const char* address : {"REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"})
      recorded.headers.erase(address);
    const std::lock_guard<std::mutex> guard(mutex_);
    requests_.push_back(std::move(recorded));
  });
  routes(*server_);
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("loopback server could not bind");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() does nothing to a server that is not yet listening, which would
  // leave the destructor waiting for ever on a server no request ever reached.
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackHttpServer::~LoopbackHttpServer() {
  server_->stop();
  thread_.join();
}

RawTcpServer::RawTcpServer(Handler handler) {
  listener_ = boundLoopbackSocket(port_);
  listen(listener_, 16);
  thread_ = std::thread([this, handler = std::move(handler)] {
    while (!stopping_) {
      const int fd = readable(listener_, 100) ? peerSocket(accept(listener_, nullptr, nullptr)) : -1;
      if (fd < 0) continue;
      handler(fd, connections_++, stopping_);
      close(fd);
    }
  });
}

RawTcpServer::~RawTcpServer() {
  stopping_ = true;
  thread_.join();
  close(listener_);
}

std::string RawTcpServer::readRequest(int fd) {
  std::string request;
  char buffer[4096];
  // Up to ten seconds for the first bytes; the request is whole once a tenth of a second passes without more.
  for (int wait = 10000; readable(fd, wait); wait = 100) {
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    request.append(buffer, static_cast<size_t>(got));
  }
  return request;
}

void RawTcpServer::sendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), kNoSigPipe);
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
}

Tinyproxy::Tinyproxy(std::optional<std::pair<std::string, std::string>> basicAuth) {
  char pattern[] = "/tmp/brim_tinyproxy_XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  const std::string conf = dir_ + "/tinyproxy.conf";
  // The port is chosen before tinyproxy binds it, so another process may take
  // it in between: then tinyproxy exits and the next port is tried.
  for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
    port_ = unusedLoopbackPort();
    writeFile(conf, "Port " + std::to_string(port_) + "\nListen 127.0.0.1\nTimeout 30\nLogLevel Info\nMaxClients 20\n" +
                        "LogFile \"" + dir_ + "/tinyproxy.out\"\n" +
                        (basicAuth ? "BasicAuth " + basicAuth->first + " " + basicAuth->second + "\n" : ""));
    const char* argv[] = {"tinyproxy", "-d", "-c", conf.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "tinyproxy", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) break;
    // Twenty seconds to listen; an early exit means another process took the port.
    bool exited = false;
    for (int wait = 0; wait < 1000 && pid_ <= 0 && !exited; ++wait) {
      exited = waitpid(pid, nullptr, WNOHANG) == pid;
      if (!exited && acceptsConnections(port_))
        pid_ = pid;
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (pid_ <= 0 && !exited) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
}

Tinyproxy::~Tinyproxy() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

int unusedLoopbackPort() {
  int port = 0;
  close(boundLoopbackSocket(port));
  return port;
}

}  // namespace brim::test
