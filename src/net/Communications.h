#pragma once
// Posts one text body to one web-post site and returns the server's answer:
// through the configured proxy first, directly when that gives no usable answer.
#include <optional>
#include <string>

namespace brim {

class Communications {
 public:
  Communications() = default;  // init: no base URL
  // Spaces are removed from the site address before it is parsed.
  static Communications initWithBaseURLString(const std::string& site);

  // Resolves path against baseURL and posts body; the response text, or absent.
  std::optional<std::string> sendDataToURLString(const std::string& path, const std::string& body);

  // The parsed base URL's absolute text; absent when the site did not parse.
  std::optional<std::string> baseURL;
  int taskStatus = 0;
  std::optional<std::string> authUsername;
  std::optional<std::string> authPassword;

  // The direct request gives up after this many seconds in which no byte moved.
  static constexpr long kDirectTimeoutSeconds = 60;
  // The proxy attempt as a whole, redirects and challenges included.
  static constexpr long kProxyAttemptSeconds = 300;

 private:
  std::optional<std::string> resolve(const std::string& path) const;
  std::optional<std::string> postThroughProxy(const std::string& url, const std::string& body);
  std::optional<std::string> postDirectly(const std::optional<std::string>& url, const std::string& body);
};

}  // namespace brim
