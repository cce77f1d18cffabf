#include "http/ASIHTTPRequest.h"

#include <cxxabi.h>

#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <typeinfo>

#include "http/ASIHTTPRequestExchange.h"
#include "http/CurlLibrary.h"

namespace brim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRedirectionLimit = 5;
// How often a running request looks at its idle time.
constexpr int kStatusTimerMilliseconds = 250;

constexpr std::string_view kConnectionFailure = "A connection failure occurred";
constexpr std::string_view kSSLProblem =
    ": SSL problem (Possible causes may include a bad/expired/self-signed certificate, clock set to wrong date)";
constexpr std::string_view kTimedOut = "The request timed out";
constexpr std::string_view kAuthenticationNeeded = "Authentication needed";
constexpr std::string_view kBadURL = "Unable to create request (bad url?)";
constexpr std::string_view kNoReadStream = "Unable to create read stream";
constexpr std::string_view kNoConnection = "Unable to start HTTP connection";
constexpr std::string_view kNoAuthenticationObject = "Failed to get authentication object from response headers";
constexpr std::string_view kProxyCredentialsNotApplied = "Failed to apply proxy credentials to request";
constexpr std::string_view kTooManyRedirects = "The request failed because it redirected too many times";

// An easy handle lent to the connection pool for one exchange; handed back
// however the exchange ends.
class PoolAttachment {
 public:
  PoolAttachment(const CurlLibrary& curl, CURLM* pool, CURL* easy) : curl_(curl), pool_(pool), easy_(easy) {
    attached_ = curl_.multi_add_handle(pool_, easy_) == CURLM_OK;
  }
  ~PoolAttachment() {
    if (attached_) curl_.multi_remove_handle(pool_, easy_);
  }
  PoolAttachment(const PoolAttachment&) = delete;
  PoolAttachment& operator=(const PoolAttachment&) = delete;
  bool attached() const { return attached_; }

 private:
  const CurlLibrary& curl_;
  CURLM* pool_;
  CURL* easy_;
  bool attached_;
};

struct ProxyCredentials {
  std::string username;
  std::string password;
  unsigned long scheme = CURLAUTH_BASIC;
};

struct ReuseRule {
  bool allowed = false;
  Clock::time_point until;
};

struct Target {
  std::string scheme;
  std::string host;
  std::string port;
};

std::optional<Target> parseTarget(const CurlLibrary& curl, const std::string& url) {
  CurlUrlHandle handle(curl.url(), {&curl});
  if (!handle || curl.url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return std::nullopt;
  auto part = [&](CURLUPart which, unsigned int flags) -> std::optional<std::string> {
    char* raw = nullptr;
    if (curl.url_get(handle.get(), which, &raw, flags) != CURLUE_OK || !raw) return std::nullopt;
    CurlText text(raw, {&curl});
    return std::string(text.get());
  };
  Target target{part(CURLUPART_SCHEME, 0).value_or(""), part(CURLUPART_HOST, 0).value_or(""),
                part(CURLUPART_PORT, CURLU_DEFAULT_PORT).value_or("")};
  if ((target.scheme != "http" && target.scheme != "https") || target.host.empty()) return std::nullopt;
  return target;
}

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
  static Session* shared() {
    const CurlLibrary* curl = CurlLibrary::get();
    if (!curl) return nullptr;
    static Session* const made = [curl] {
      auto* created = new Session(*curl);  // never freed: connections and stores live as long as the process
      created->pool = curl->multi_init();
      created->cookies = curl->share_init();
      if (created->cookies) curl->share_setopt(created->cookies, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
      return created;
    }();
    return made;
  }
};

// Which proxy credentials the request presents, and which it has tried.
struct ASIHTTPRequest::ProxyAuthState {
  std::optional<ProxyCredentials> applied;
  bool appliedFromStore = false;
  bool triedStore = false;
  bool triedOwn = false;
};

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

std::optional<ASIHTTPRequest::Exchange> ASIHTTPRequest::exchange(const ProxyAuthState& auth, bool freshConnection) {
  Session& shared = *session_;
  const CurlLibrary& curl = shared.curl;
  const std::optional<Target> target = parseTarget(curl, url_);
  if (!target) {
    failWithError(ASIErrorType::UnableToCreateRequest, std::string(kBadURL));
    return std::nullopt;
  }
  // The handle writes into `sent` and reads `headerLines` until it is gone.
  Exchange sent;
  CurlHeaderList headerLines(nullptr, {&curl});
  CurlEasyHandle easy(curl.easy_init(), {&curl});
  if (!easy || !shared.pool) {
    failWithError(ASIErrorType::InternalErrorWhileBuildingRequest, std::string(kNoReadStream));
    return std::nullopt;
  }
  CURL* handle = easy.get();
  bool built = true;
  auto set = [&](CURLoption option, auto value) {
    built = curl.easy_setopt(handle, option, value) == CURLE_OK && built;
  };

  if (!postBody_.empty() && (requestMethod_ == "GET" || requestMethod_ == "DELETE" || requestMethod_ == "HEAD"))
    requestMethod_ = "POST";
  set(CURLOPT_URL, url_.c_str());
  built = curl.restrictTransfer(handle) && built;
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_FOLLOWLOCATION, 0L);
  if (shared.cookies) set(CURLOPT_SHARE, shared.cookies);
  set(CURLOPT_COOKIEFILE, "");  // switches the cookie engine on, reading no file
  set(CURLOPT_ACCEPT_ENCODING, "gzip");
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
  set(CURLOPT_NOPROXY, "");  // the environment's proxy exceptions must not apply either
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 0L);
  set(CURLOPT_ERRORBUFFER, sent.errorText.data());
  set(CURLOPT_HEADERFUNCTION, &Exchange::onHeader);
  set(CURLOPT_HEADERDATA, &sent);
  set(CURLOPT_WRITEFUNCTION, &Exchange::onBody);
  set(CURLOPT_WRITEDATA, &sent);
  set(CURLOPT_NOPROGRESS, 0L);
  set(CURLOPT_XFERINFOFUNCTION, &Exchange::onProgress);
  set(CURLOPT_XFERINFODATA, &sent);

  if (requestMethod_ == "GET") {
    set(CURLOPT_HTTPGET, 1L);
  } else {
    if (requestMethod_ == "HEAD") set(CURLOPT_NOBODY, 1L);
    if (requestMethod_ != "POST") set(CURLOPT_CUSTOMREQUEST, requestMethod_.c_str());
    if (requestMethod_ != "HEAD") {
      set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody_.size()));
      set(CURLOPT_POSTFIELDS, postBody_.data());
    }
  }

  // The caller's headers, and none of the transport's own defaults that the
  // server must not see: no "Accept", no "Content-Type", no "Expect".
  auto addLine = [&](const std::string& line) {
    curl_slist* appended = curl.slist_append(headerLines.get(), line.c_str());
    if (!appended) {
      built = false;
      return;
    }
    (void)headerLines.release();
    headerLines.reset(appended);
  };
  for (const auto& [name, value] : requestHeaders_) addLine(value.empty() ? name + ";" : name + ": " + value);
  for (const char* suppressed : {"Accept", "Content-Type", "Expect"})
    if (!headerValue(requestHeaders_, suppressed)) addLine(std::string(suppressed) + ":");
  set(CURLOPT_HTTPHEADER, headerLines.get());

  if (usesProxy()) {
    std::string host = *proxyHost_;
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    set(CURLOPT_PROXY, ("http://" + host).c_str());
    set(CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    set(CURLOPT_HTTPPROXYTUNNEL, target->scheme == "https" ? 1L : 0L);
    if (curl.easy_setopt(handle, CURLOPT_PROXYPORT, static_cast<long>(proxyPort_)) != CURLE_OK) {
      sent.result = CURLE_COULDNT_CONNECT;
      snprintf(sent.errorText.data(), sent.errorText.size(), "proxy port %d is out of range", proxyPort_);
      return sent;
    }
    if (auth.applied) {
      const bool applied =
          curl.easy_setopt(handle, CURLOPT_PROXYUSERNAME, auth.applied->username.c_str()) == CURLE_OK &&
          curl.easy_setopt(handle, CURLOPT_PROXYPASSWORD, auth.applied->password.c_str()) == CURLE_OK &&
          curl.easy_setopt(handle, CURLOPT_PROXYAUTH, auth.applied->scheme) == CURLE_OK;
      if (!applied) {
        failWithError(ASIErrorType::InternalErrorWhileApplyingCredentials, std::string(kProxyCredentialsNotApplied));
        return std::nullopt;
      }
    }
  } else {
    set(CURLOPT_PROXY, "");  // never a proxy from the environment
  }

  sent.connectionKey = target->scheme + "://" + target->host + ":" + target->port;
  if (freshConnection) {
    set(CURLOPT_FRESH_CONNECT, 1L);
  } else if (auto rule = shared.reuseRules.find(sent.connectionKey); rule != shared.reuseRules.end()) {
    const auto left = rule->second.until - Clock::now();
    if (!rule->second.allowed || left <= Clock::duration::zero()) {
      set(CURLOPT_FRESH_CONNECT, 1L);
    } else {
      set(CURLOPT_MAXAGE_CONN, static_cast<long>(std::ceil(std::chrono::duration<double>(left).count())));
    }
  }
  if (!built) {
    failWithError(ASIErrorType::InternalErrorWhileBuildingRequest, std::string(kNoReadStream));
    return std::nullopt;
  }

  sent.lastActivity = Clock::now();
  PoolAttachment attachment(curl, shared.pool, handle);
  if (!attachment.attached()) {
    failWithError(ASIErrorType::InternalErrorWhileBuildingRequest, std::string(kNoConnection));
    return std::nullopt;
  }
  const double postLength = static_cast<double>(postBody_.size());
  auto idleTooLong = [&] {
    const double idle = std::chrono::duration<double>(Clock::now() - sent.lastActivity).count();
    if (timeOutSeconds_ <= 0 || idle <= timeOutSeconds_) return false;
    // A body still on its way out gets half as long again.
    return postLength == 0 || static_cast<double>(sent.uploaded) >= postLength || idle > 1.5 * timeOutSeconds_;
  };
  int running = 1;
  for (;;) {
    if (curl.multi_perform(shared.pool, &running) != CURLM_OK) break;
    if (running == 0) break;
    if (idleTooLong() || Clock::now() > deadline_) {
      sent.timedOut = true;
      break;
    }
    curl.multi_poll(shared.pool, nullptr, 0, kStatusTimerMilliseconds, nullptr);
  }
  int queued = 0;
  while (CURLMsg* message = curl.multi_info_read(shared.pool, &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == handle) sent.result = message->data.result;
  }
  curl.easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &sent.responseCode);
  curl.easy_getinfo(handle, CURLINFO_HTTP_CONNECTCODE, &sent.connectCode);
  if (char* location = nullptr; curl.easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location)
    sent.redirectURL = std::string(location);
  return sent;
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
