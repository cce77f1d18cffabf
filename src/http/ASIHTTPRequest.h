#pragma once
// The HTTP request engine that carries a post through the proxy the settings
// name: one request, run synchronously on the calling thread, with idle
// time-outs, redirects, proxy authentication, connection reuse and errors of
// its own domain. A request is used once.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "http/CharsetDecoding.h"
#include "http/HeaderFields.h"

namespace brim {

inline constexpr std::string_view kASIHTTPRequestErrorDomain = "ASIHTTPRequestErrorDomain";

enum class ASIErrorType {
  ConnectionFailure = 1,
  RequestTimedOut = 2,
  Authentication = 3,
  RequestCancelled = 4,
  UnableToCreateRequest = 5,
  InternalErrorWhileBuildingRequest = 6,
  InternalErrorWhileApplyingCredentials = 7,
  FileManagement = 8,
  TooMuchRedirection = 9,
  UnhandledException = 10,
};

struct ASIError {
  std::string domain;
  int code = 0;
  std::string localizedDescription;
  // What the transport said, for connection failures.
  std::optional<std::string> underlyingError;
};

class ASIHTTPRequest {
 public:
  static ASIHTTPRequest requestWithURL(std::string url);

  void setProxyHost(std::optional<std::string> host) { proxyHost_ = std::move(host); }
  void setProxyPort(int port) { proxyPort_ = port; }
  void setProxyUsername(std::optional<std::string> name) { proxyUsername_ = std::move(name); }
  void setProxyPassword(std::optional<std::string> password) { proxyPassword_ = std::move(password); }
  void setResponseEncoding(std::string encoding) { responseEncoding_ = std::move(encoding); }
  // "POST" keeps a request with an empty body a post.
  void setRequestMethod(std::string method) { requestMethod_ = std::move(method); }
  void setTimeOutSeconds(double seconds) { timeOutSeconds_ = seconds; }
  void appendPostData(std::string_view bytes) { postBody_.append(bytes); }
  void addRequestHeader(std::string name, std::string value);
  // A bound on the whole request, redirects and challenges included; it then
  // fails as timed out. Zero (the default) leaves only the idle time-out.
  void setMaximumDuration(std::chrono::seconds limit) { maximumDuration_ = limit; }

  // Sends the request and returns when it has finished or failed.
  void startSynchronous();

  int responseStatusCode() const { return responseStatusCode_; }
  // The body decoded with responseEncoding(); absent without a body or when it does not decode.
  std::optional<std::string> responseString() const;
  const std::optional<ASIError>& error() const { return error_; }
  // The answer was refused for being larger than kMaximumAnswerBytes; nothing of it is kept.
  bool responseTooLarge() const { return responseTooLarge_; }

  const std::string& url() const { return url_; }
  const std::string& requestMethod() const { return requestMethod_; }
  const std::string& responseEncoding() const { return responseEncoding_; }
  const std::string& responseStatusMessage() const { return responseStatusMessage_; }
  const HeaderFields& responseHeaders() const { return responseHeaders_; }
  const std::string& rawResponseData() const { return rawResponseData_; }
  int redirectCount() const { return redirectCount_; }
  int retryCount() const { return retryCount_; }
  bool complete() const { return complete_; }

  // The class default user agent; the tool carries no bundle name to build one from.
  static std::optional<std::string> defaultUserAgentString() { return std::nullopt; }

  static constexpr double defaultTimeOutSeconds = 10.0;

 private:
  struct Exchange;
  struct ProxyAuthState;
  struct Session;
  struct Transfer;

  explicit ASIHTTPRequest(std::string url) : url_(std::move(url)) {}

  void run();
  bool usesProxy() const;
  std::string proxyKey() const;
  // One message to the server or proxy and its answer; absent when the request
  // failed before anything was sent.
  std::optional<Exchange> exchange(const ProxyAuthState& auth, bool freshConnection);
  std::optional<Transfer> setUpTransfer(const ProxyAuthState& auth, bool freshConnection, bool secure, Exchange& sent);
  // Drives the transfer on the session's pool until it ends, times out or stalls.
  bool runTransfer(const Transfer& transfer, Exchange& sent);
  void takeResponse(const Exchange& exchange);
  bool answerProxyChallenge(ProxyAuthState& auth);
  bool followRedirect(const Exchange& exchange);
  void failWithConnectionError(const Exchange& exchange);
  void failWithError(ASIErrorType type, std::string description, std::optional<std::string> underlying = {});

  std::string url_;
  std::string requestMethod_ = "GET";
  std::string postBody_;
  HeaderFields requestHeaders_;
  std::optional<std::string> proxyHost_;
  int proxyPort_ = 0;
  std::optional<std::string> proxyUsername_;
  std::optional<std::string> proxyPassword_;
  double timeOutSeconds_ = defaultTimeOutSeconds;
  std::chrono::seconds maximumDuration_{0};
  std::chrono::steady_clock::time_point deadline_;
  int numberOfTimesToRetryOnTimeout_ = 0;
  int retryCount_ = 0;
  int persistentConnectionTimeoutSeconds_ = 60;
  bool shouldRedirect_ = true;
  int redirectCount_ = 0;
  std::string defaultResponseEncoding_{kISOLatin1StringEncoding};
  std::string responseEncoding_{kISOLatin1StringEncoding};

  int responseStatusCode_ = 0;
  std::string responseStatusMessage_;
  HeaderFields responseHeaders_;
  std::string rawResponseData_;
  std::optional<ASIError> error_;
  bool complete_ = false;
  bool responseTooLarge_ = false;
  // The process's shared state, once run() has found libcurl usable.
  Session* session_ = nullptr;
};

}  // namespace brim
