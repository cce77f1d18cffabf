#pragma once
// Posts one text body to one web-post site and returns the server's answer:
// through the configured proxy first, directly when that gives no answer.
// Both attempts are the same exchange of the request engine; this class
// decides only where each goes and what its answer counts for.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace brim {

class ASIHTTPRequest;

// The proxy a post tries first, as the settings give it; a route without a
// host, or with a port outside 0 to 65535, is no proxy.
struct ProxyRoute {
  std::optional<std::string> host;
  int64_t port = 0;
  std::optional<std::string> userName;
  std::optional<std::string> password;
};

class Communications {
 public:
  Communications() = default;  // init: no base URL
  // Spaces are removed from the site address before it is parsed.
  static Communications initWithBaseURLString(const std::string& site, std::optional<ProxyRoute> proxy = std::nullopt);

  // Resolves path against baseURL and posts body. Present exactly when the
  // server answered with a 2xx status, and then the answer decoded with its
  // charset: empty when it had no body or none that decodes.
  std::optional<std::string> sendDataToURLString(const std::string& path, const std::string& body);

  // The parsed base URL's absolute text; absent when the site did not parse.
  std::optional<std::string> baseURL;
  int taskStatus = 0;
  std::optional<std::string> authUsername;
  std::optional<std::string> authPassword;
  std::optional<ProxyRoute> proxy;

  // The direct request gives up after this many seconds in which no byte moved.
  static constexpr long kDirectTimeoutSeconds = 60;
  // Each attempt as a whole, redirects and challenges included, unless
  // setAttemptLimit says otherwise.
  static constexpr std::chrono::seconds kAttemptLimit{300};
  // The bound of every later attempt of the process; absent restores kAttemptLimit.
  static void setAttemptLimit(std::optional<std::chrono::seconds> limit);

 private:
  std::optional<std::string> resolve(const std::string& path) const;
  std::optional<std::string> postThroughProxy(const std::string& url, const std::string& body);
  std::optional<std::string> postDirectly(const std::optional<std::string>& url, const std::string& body);
};

}  // namespace brim
