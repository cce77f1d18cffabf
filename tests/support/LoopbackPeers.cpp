#include "support/LoopbackPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace brim::test {
namespace {

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

int boundLoopbackSocket() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = loopback(0);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("no loopback socket");
  return fd;
}

int localPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

bool acceptsConnections(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
  EVP_PKEY* key = EVP_EC_gen("prime256v1");
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
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
}

}  // namespace

std::optional<std::string> RecordedRequest::header(const std::string& name) const {
  const auto found = headers.find(name);  // httplib compares header names without case
  return found == headers.end() ? std::nullopt : std::optional(found->second);
}

std::vector<std::string> RecordedRequest::headerNames() const {
  std::vector<std::string> names;
  // Already in order: httplib keeps them sorted without case.
  for (const auto& field : headers) names.push_back(lowered(field.first));
  return names;
}

LoopbackHttpServer::LoopbackHttpServer(const Routes& routes, bool selfSignedTls)
    : server_(selfSignedTls ? selfSignedTlsServer() : std::make_unique<httplib::Server>()) {
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

std::string LoopbackHttpServer::url(std::string_view path) const {
  const bool tls = dynamic_cast<httplib::SSLServer*>(server_.get()) != nullptr;
  return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<RecordedRequest> LoopbackHttpServer::requests() const {
  const std::lock_guard<std::mutex> guard(mutex_);
  return requests_;
}

RawTcpServer::RawTcpServer(Handler handler) {
  listener_ = boundLoopbackSocket();
  listen(listener_, 16);
  port_ = localPort(listener_);
  thread_ = std::thread([this, handler = std::move(handler)] {
    while (!stopping_) {
      if (!readable(listener_, 100)) continue;
      const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      const int index = connections_++;
      handler(fd, index, stopping_);
      close(fd);
    }
  });
}

RawTcpServer::~RawTcpServer() {
  stopping_ = true;
  thread_.join();
  close(listener_);
}

std::string RawTcpServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string RawTcpServer::readRequest(int fd) {
  std::string request;
  char buffer[4096];
  size_t expected = std::string::npos;
  while (expected == std::string::npos || request.size() < expected) {
    if (!readable(fd, 10000)) break;
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    request.append(buffer, static_cast<size_t>(got));
    const size_t headEnd = request.find("\r\n\r\n");
    if (expected == std::string::npos && headEnd != std::string::npos) {
      const std::string head = lowered(request.substr(0, headEnd));
      const size_t field = head.find("\r\ncontent-length:");
      const size_t length = field == std::string::npos ? 0 : std::strtoul(head.c_str() + field + 17, nullptr, 10);
      expected = headEnd + 4 + length;
    }
  }
  return request;
}

void RawTcpServer::sendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
}

void RawTcpServer::waitForClose(int fd, const std::atomic<bool>& stopping) {
  char buffer[256];
  while (!stopping) {
    if (!readable(fd, 100)) continue;
    if (recv(fd, buffer, sizeof buffer, 0) <= 0) return;
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
    std::ofstream(conf) << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nLogLevel Info\nMaxClients 20\n"
                        << "LogFile \"" << dir_ << "/tinyproxy.out\"\n"
                        << (basicAuth ? "BasicAuth " + basicAuth->first + " " + basicAuth->second + "\n" : "");
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

std::string Tinyproxy::log() const {
  std::ifstream in(dir_ + "/tinyproxy.out");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ScopedEnvironment::ScopedEnvironment(const std::vector<std::string>& names, const std::string& value) {
  for (const std::string& name : names) {
    const char* old = std::getenv(name.c_str());
    previous_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  for (const auto& [name, value] : previous_) value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
}

int unusedLoopbackPort() {
  const int fd = boundLoopbackSocket();
  const int port = localPort(fd);
  close(fd);
  return port;
}

}  // namespace brim::test
