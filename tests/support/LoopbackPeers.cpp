#include "support/LoopbackPeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace brim::test {
namespace {

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

int boundLoopbackSocket(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    throw std::runtime_error("bind failed");
  }
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
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
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

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (lowered(key) == lowered(name)) return value;
  return std::nullopt;
}

std::vector<std::string> RecordedRequest::headerNames() const {
  std::vector<std::string> names;
  for (const auto& field : headers) names.push_back(lowered(field.first));
  std::sort(names.begin(), names.end());
  return names;
}

LoopbackHttpServer::LoopbackHttpServer(const Routes& routes)
    : LoopbackHttpServer(std::make_unique<httplib::Server>(), routes, false) {}

std::unique_ptr<LoopbackHttpServer> LoopbackHttpServer::withSelfSignedCertificate(const Routes& routes) {
  return std::unique_ptr<LoopbackHttpServer>(new LoopbackHttpServer(selfSignedTlsServer(), routes, true));
}

LoopbackHttpServer::LoopbackHttpServer(std::unique_ptr<httplib::Server> server, const Routes& routes, bool tls)
    : server_(std::move(server)), tls_(tls) {
  // Short keep-alive waits: a connection left open in the client's pool would
  // otherwise hold up stop() for the server's whole keep-alive time-out.
  server_->set_keep_alive_timeout(1);
  // Recorded after the handler has read the body, before the answer goes out.
  server_->set_post_routing_handler([this](const httplib::Request& request, httplib::Response&) {
    RecordedRequest recorded{request.method, request.target, {}, request.body, request.remote_port};
    for (const auto& [name, value] : request.headers) {
      // httplib files the peer's addresses among the headers.
      if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT") continue;
      recorded.headers.emplace_back(name, value);
    }
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
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<RecordedRequest> LoopbackHttpServer::requests() const {
  const std::lock_guard<std::mutex> guard(mutex_);
  return requests_;
}

RawTcpServer::RawTcpServer(Handler handler) {
  listener_ = boundLoopbackSocket(0);
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
  const std::string logFile = dir_ + "/tinyproxy.out";
  // The port is chosen before tinyproxy binds it, so another process may take
  // it in between: then tinyproxy exits and the next port is tried.
  for (int attempt = 0; attempt < 5 && pid_ <= 0; ++attempt) {
    port_ = unusedLoopbackPort();
    std::ofstream(conf) << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nLogLevel Info\nMaxClients 20\n"
                        << (basicAuth ? "BasicAuth " + basicAuth->first + " " + basicAuth->second + "\n" : "");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const char* argv[] = {"tinyproxy", "-d", "-c", conf.c_str(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "tinyproxy", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) break;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      if (waitpid(pid, nullptr, WNOHANG) == pid) {
        pid = -1;
        break;
      }
      if (acceptsConnections(port_)) {
        pid_ = pid;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (pid_ <= 0 && pid > 0) {
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
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) previous_ = old;
  setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
  if (previous_)
    setenv(name_.c_str(), previous_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

int unusedLoopbackPort() {
  const int fd = boundLoopbackSocket(0);
  const int port = localPort(fd);
  close(fd);
  return port;
}

std::string gzipped(std::string_view bytes) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, bytes.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

}  // namespace brim::test
