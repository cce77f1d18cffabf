#include "http/ASIHTTPRequest.h"

#include <cxxabi.h>

#include <array>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <typeinfo>

#include "http/ASIHTTPRequestExchange.h"
#include "http/ASIHTTPRequestSession.h"
#include "http/CurlLibrary.h"

namespace brim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRedirectionLimit = 5;

constexpr std::string_view kConnectionFailure = "A connection failure occurred";
constexpr std::string_view kSSLProblem =
    ": SSL problem (Possible causes may include a bad/expired/self-signed certificate, clock set to wrong date)";
constexpr std::string_view kTimedOut = "The request timed out";
constexpr std::string_view kAuthenticationNeeded = "Authentication needed";
constexpr std::string_view kNoAuthenticationObject = "Failed to get authentication object from response headers";
constexpr std::string_view kTooManyRedirects = "The request failed because it redirected too many times";

bool isBrokenConnection(CURLcode code) {
  return code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR || code == CURLE_GOT_NOTHING ||
         code == CURLE_PARTIAL_FILE;
}

bool isSecureTransportError(CURLcode code) {
  static constexpr std::array kCodes = {
      CURLE_SSL_CONNECT_ERROR,     CURLE_PEER_FAILED_VERIFICATION, CURLE_SSL_ENGINE_NOTFOUND,
      CURLE_SSL_ENGINE_SETFAILED,  CURLE_SSL_CERTPROBLEM,          CURLE_SSL_CIPHER,
      CURLE_SSL_ENGINE_INITFAILED, CURLE_SSL_CACERT_BADFILE,       CURLE_SSL_SHUTDOWN_FAILED,
      CURLE_SSL_CRL_BADFILE,       CURLE_SSL_ISSUER_ERROR,         CURLE_SSL_PINNEDPUBKEYNOTMATCH,
      CURLE_SSL_INVALIDCERTSTATUS, CURLE_SSL_CLIENTCERT,           CURLE_USE_SSL_FAILED};
  for (CURLcode ssl : kCodes)
    if (code == ssl) return true;
  return false;
}

// The strongest scheme that both the proxy asked for and the engine answers.
unsigned long schemeToAnswer(const std::vector<std::string>& schemes) {
  unsigned long chosen = CURLAUTH_NONE;
  for (const std::string& scheme : schemes) {
    if (scheme == "digest") chosen = CURLAUTH_DIGEST;
    if (scheme == "basic" && chosen == CURLAUTH_NONE) chosen = CURLAUTH_BASIC;
  }
  return chosen;
}

std::string exceptionName(const std::exception& exception) {
  const char* mangled = typeid(exception).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

}  // namespace

ASIHTTPRequest ASIHTTPRequest::requestWithURL(std::string url) { return ASIHTTPRequest(std::move(url)); }

void ASIHTTPRequest::addRequestHeader(std::string name, std::string value) {
  for (auto& field : requestHeaders_) {
    if (equalsIgnoringCase(field.first, name)) {
      field.second = std::move(value);
      return;
    }
  }
  requestHeaders_.emplace_back(std::move(name), std::move(value));
}

std::optional<std::string> ASIHTTPRequest::responseString() const {
  if (rawResponseData_.empty()) return std::nullopt;
  return decodeText(rawResponseData_, responseEncoding_);
}

void ASIHTTPRequest::startSynchronous() {
  try {
    run();
  } catch (const std::exception& exception) {
    failWithError(ASIErrorType::UnhandledException, exceptionName(exception) + ": " + exception.what());
  } catch (...) {
    failWithError(ASIErrorType::UnhandledException, "unknown exception");
  }
  complete_ = true;
}

bool ASIHTTPRequest::usesProxy() const { return proxyHost_ && !proxyHost_->empty() && proxyPort_ != 0; }

std::string ASIHTTPRequest::proxyKey() const {
  std::string key;
  for (char c : proxyHost_.value_or("")) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key + ":" + std::to_string(proxyPort_);
}

void ASIHTTPRequest::run() {
  session_ = Session::shared();
  if (!session_) {
    failWithError(ASIErrorType::ConnectionFailure, std::string(kConnectionFailure),
                  "libcurl is unavailable: " + CurlLibrary::unavailableReason());
    return;
  }
  Session& shared = *session_;
  const std::lock_guard<std::mutex> guard(shared.lock);
  deadline_ =
      maximumDuration_ > std::chrono::seconds::zero() ? Clock::now() + maximumDuration_ : Clock::time_point::max();
  ProxyAuthState auth;
  if (usesProxy()) {
    // Credentials that this proxy needed before go out with the first message.
    auth.triedStore = true;
    if (auto stored = shared.proxyCredentials.find(proxyKey()); stored != shared.proxyCredentials.end()) {
      auth.applied = stored->second;
      auth.appliedFromStore = true;
    }
  }
  bool freshConnection = false;
  for (;;) {
    std::optional<Exchange> sent = exchange(auth, freshConnection);
    if (!sent) return;
    freshConnection = false;
    takeResponse(*sent);
    if (sent->tooLarge || sent->result == CURLE_FILESIZE_EXCEEDED) {
      responseTooLarge_ = true;
      rawResponseData_.clear();
      failWithError(ASIErrorType::ConnectionFailure, std::string(kConnectionFailure),
                    "the answer is larger than " + std::to_string(kMaximumAnswerBytes) + " bytes");
      return;
    }
    if (sent->timedOut || sent->result == CURLE_OPERATION_TIMEDOUT) {
      if (numberOfTimesToRetryOnTimeout_ > retryCount_) {
        ++retryCount_;
        continue;
      }
      failWithError(ASIErrorType::RequestTimedOut, std::string(kTimedOut));
      return;
    }
    if (sent->result != CURLE_OK && !sent->tunnelRefused() && !sent->decidedByHeaders()) {
      if (isBrokenConnection(sent->result) && retryCount_ == 0) {
        ++retryCount_;
        freshConnection = true;
        continue;
      }
      failWithConnectionError(*sent);
      return;
    }
    if (responseStatusCode_ == 407) {
      if (answerProxyChallenge(auth)) continue;
      return;
    }
    if (responseStatusCode_ == 401) {
      // No credentials for the server exist on this path. Some proxies answer
      // refused proxy credentials this way too, so they are not kept either.
      failWithError(ASIErrorType::Authentication, std::string(kAuthenticationNeeded));
      return;
    }
    if (auth.applied && usesProxy()) shared.proxyCredentials[proxyKey()] = *auth.applied;
    if (sent->tunnelRefused() || !followRedirect(*sent)) return;
  }
}

void ASIHTTPRequest::takeResponse(const Exchange& sent) {
  responseStatusCode_ = static_cast<int>(sent.tunnelRefused() ? sent.connectCode : sent.responseCode);
  responseStatusMessage_ = sent.statusLine;
  responseHeaders_ = sent.headers;
  rawResponseData_ = sent.body;
  if (responseStatusCode_ == 0) return;

  std::optional<std::string> named;
  if (auto contentType = headerValue(responseHeaders_, "Content-Type"))
    if (auto charset = charsetParameter(*contentType)) named = recognisedTextEncoding(*charset);
  responseEncoding_ = named.value_or(defaultResponseEncoding_);

  if (sent.result != CURLE_OK || sent.tunnelRefused()) return;
  const auto allowance = connectionReuseAllowance(sent.isHTTP10, responseHeaders_,
                                                  std::chrono::seconds(persistentConnectionTimeoutSeconds_));
  session_->reuseRules[sent.connectionKey] =
      allowance ? ReuseRule{true, Clock::now() + *allowance} : ReuseRule{false, Clock::now()};
}

bool ASIHTTPRequest::answerProxyChallenge(ProxyAuthState& auth) {
  const unsigned long scheme = schemeToAnswer(challengeSchemes(responseHeaders_, "Proxy-Authenticate"));
  if (scheme == CURLAUTH_NONE) {
    failWithError(ASIErrorType::InternalErrorWhileApplyingCredentials, std::string(kNoAuthenticationObject));
    return false;
  }
  Session& shared = *session_;
  // Credentials the proxy has just refused are not offered again.
  if (auth.applied && auth.appliedFromStore) shared.proxyCredentials.erase(proxyKey());
  auth.applied.reset();
  auth.appliedFromStore = false;
  if (!auth.triedStore) {
    auth.triedStore = true;
    if (auto stored = shared.proxyCredentials.find(proxyKey()); stored != shared.proxyCredentials.end()) {
      auth.applied = stored->second;
      auth.appliedFromStore = true;
      return true;
    }
  }
  if (!auth.triedOwn && proxyUsername_ && !proxyUsername_->empty()) {
    auth.triedOwn = true;
    auth.applied = ProxyCredentials{*proxyUsername_, proxyPassword_.value_or(""), scheme};
    return true;
  }
  failWithError(ASIErrorType::Authentication, std::string(kAuthenticationNeeded));
  return false;
}

bool ASIHTTPRequest::followRedirect(const Exchange& sent) {
  const int code = responseStatusCode_;
  if (!shouldRedirect_ || (code != 301 && code != 302 && code != 303 && code != 307)) return false;
  if (!headerValue(responseHeaders_, "Location") || !sent.redirectURL) return false;
  ++redirectCount_;
  if (redirectCount_ > kRedirectionLimit) {
    failWithError(ASIErrorType::TooMuchRedirection, std::string(kTooManyRedirects));
    return false;
  }
  url_ = *sent.redirectURL;
  if (code != 307) {
    requestMethod_ = "GET";
    postBody_.clear();
    HeaderFields kept;
    for (const auto& field : requestHeaders_)
      if (equalsIgnoringCase(field.first, "User-Agent") || equalsIgnoringCase(field.first, "Accept"))
        kept.push_back(field);
    requestHeaders_ = std::move(kept);
  }
  return true;
}

void ASIHTTPRequest::failWithConnectionError(const Exchange& sent) {
  std::string description(kConnectionFailure);
  if (isSecureTransportError(sent.result)) description += kSSLProblem;
  const char* detail = sent.errorText[0] != '\0' ? sent.errorText.data() : session_->curl.easy_strerror(sent.result);
  failWithError(ASIErrorType::ConnectionFailure, std::move(description),
                "curl error " + std::to_string(static_cast<int>(sent.result)) + ": " + detail);
}

void ASIHTTPRequest::failWithError(ASIErrorType type, std::string description, std::optional<std::string> underlying) {
  error_ = ASIError{std::string(kASIHTTPRequestErrorDomain), static_cast<int>(type), std::move(description),
                    std::move(underlying)};
}

}  // namespace brim
