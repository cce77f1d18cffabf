#pragma once
// Inside ASIHTTPRequest only: what outlives a request, and the pool of open
// connections its transfers run on.
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "http/ASIHTTPRequest.h"
#include "http/CurlLibrary.h"

namespace brim {

struct ProxyCredentials {
  std::string username;
  std::string password;
  unsigned long scheme = CURLAUTH_BASIC;
};

// How long the server lets a connection of it be reused, as its last answer said.
struct ReuseRule {
  bool allowed = false;
  std::chrono::steady_clock::time_point until;
};

// Which proxy credentials the request presents, and which it has tried.
struct ASIHTTPRequest::ProxyAuthState {
  std::optional<ProxyCredentials> applied;
  bool appliedFromStore = false;
  bool triedStore = false;
  bool triedOwn = false;
};

// What outlives a request, for the life of the process: the pool of open
// connections, the cookie store, the proxy credentials that worked and how
// long each server lets its connections be reused. Requests run one at a time
// on it under `lock`, which guards all of it.
struct ASIHTTPRequest::Session {
  explicit Session(const CurlLibrary& library) : curl(library) {}
  const CurlLibrary& curl;
  std::mutex lock;
  CURLM* pool = nullptr;
  CURLSH* cookies = nullptr;
  std::map<std::string, ProxyCredentials> proxyCredentials;
  std::map<std::string, ReuseRule> reuseRules;

  // Made by the first request that finds libcurl usable; null while it is not.
  static Session* shared();
};

// An easy handle lent to the connection pool for one exchange; handed back
// however the exchange ends.
class PoolAttachment {
 public:
  PoolAttachment(const CurlLibrary& curl, CURLM* pool, CURL* easy);
  ~PoolAttachment();
  PoolAttachment(const PoolAttachment&) = delete;
  PoolAttachment& operator=(const PoolAttachment&) = delete;
  bool attached() const { return attached_; }

 private:
  const CurlLibrary& curl_;
  CURLM* pool_;
  CURL* easy_;
  bool attached_;
};

}  // namespace brim
