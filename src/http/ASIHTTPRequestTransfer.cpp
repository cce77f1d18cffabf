// One message exchange of a request: a libcurl transfer set up from the
// request's state, then run on the session's connection pool.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "http/ASIHTTPRequest.h"
#include "http/ASIHTTPRequestExchange.h"
#include "http/ASIHTTPRequestSession.h"
#include "http/CurlLibrary.h"

namespace brim {
namespace {

using Clock = std::chrono::steady_clock;

// How often a running request looks at its idle time.
constexpr int kStatusTimerMilliseconds = 250;

constexpr std::string_view kBadURL = "Unable to create request (bad url?)";
constexpr std::string_view kNoReadStream = "Unable to create read stream";
constexpr std::string_view kNoConnection = "Unable to start HTTP connection";
constexpr std::string_view kProxyCredentialsNotApplied = "Failed to apply proxy credentials to request";

constexpr int kLargestPort = 65535;

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

}  // namespace

// The handle of a transfer and the header lines it reads until it is gone.
struct ASIHTTPRequest::Transfer {
  CurlHeaderList headerLines;
  CurlEasyHandle easy;
};

std::optional<ASIHTTPRequest::Exchange> ASIHTTPRequest::exchange(const ProxyAuthState& auth, bool freshConnection) {
  const std::optional<Target> target = parseTarget(session_->curl, url_);
  if (!target) {
    failWithError(ASIErrorType::UnableToCreateRequest, std::string(kBadURL));
    return std::nullopt;
  }
  Exchange sent;
  // Refused here, as no port can be that: libcurl releases differ in whether they do.
  if (usesProxy() && (proxyPort_ < 0 || proxyPort_ > kLargestPort)) {
    sent.result = CURLE_COULDNT_CONNECT;
    snprintf(sent.errorText.data(), sent.errorText.size(), "proxy port %d is out of range", proxyPort_);
    return sent;
  }
  sent.connectionKey = target->scheme + "://" + target->host + ":" + target->port;
  // The transfer writes into `sent` until it is gone.
  const std::optional<Transfer> transfer = setUpTransfer(auth, freshConnection, target->scheme == "https", sent);
  if (!transfer || !runTransfer(*transfer, sent)) return std::nullopt;
  return sent;
}

std::optional<ASIHTTPRequest::Transfer> ASIHTTPRequest::setUpTransfer(const ProxyAuthState& auth, bool freshConnection,
                                                                      bool secure, Exchange& sent) {
  Session& shared = *session_;
  const CurlLibrary& curl = shared.curl;
  Transfer transfer{CurlHeaderList(nullptr, {&curl}), CurlEasyHandle(curl.easy_init(), {&curl})};
  if (!transfer.easy || !shared.pool) {
    failWithError(ASIErrorType::InternalErrorWhileBuildingRequest, std::string(kNoReadStream));
    return std::nullopt;
  }
  CURL* handle = transfer.easy.get();
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
  CurlHeaderList& headerLines = transfer.headerLines;
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
    set(CURLOPT_HTTPPROXYTUNNEL, secure ? 1L : 0L);
    set(CURLOPT_PROXYPORT, static_cast<long>(proxyPort_));
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

  if (freshConnection) {
    set(CURLOPT_FRESH_CONNECT, 1L);
  } else if (auto rule = shared.reuseRules.find(sent.connectionKey); rule != shared.reuseRules.end()) {
    const auto left = rule->second.until - Clock::now();
    if (!rule->second.allowed || left <= Clock::duration::zero()) {
      set(CURLOPT_FRESH_CONNECT, 1L);
    } else {
      // The pool's own bound on reuse; the clock above alone decides where libcurl predates it.
      const long seconds = static_cast<long>(std::ceil(std::chrono::duration<double>(left).count()));
      built = curl.setIfKnown(handle, CURLOPT_MAXAGE_CONN, seconds) && built;
    }
  }
  if (!built) {
    failWithError(ASIErrorType::InternalErrorWhileBuildingRequest, std::string(kNoReadStream));
    return std::nullopt;
  }
  return transfer;
}

bool ASIHTTPRequest::runTransfer(const Transfer& transfer, Exchange& sent) {
  Session& shared = *session_;
  CURL* handle = transfer.easy.get();
  const CurlLibrary& curl = shared.curl;
  sent.lastActivity = Clock::now();
  PoolAttachment attachment(curl, shared.pool, handle);
  if (!attachment.attached()) {
    failWithError(ASIErrorType::InternalErrorWhileBuildingRequest, std::string(kNoConnection));
    return false;
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
    curl.waitOnPool(shared.pool, kStatusTimerMilliseconds);
  }
  int queued = 0;
  while (CURLMsg* message = curl.multi_info_read(shared.pool, &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == handle) sent.result = message->data.result;
  }
  curl.easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &sent.responseCode);
  curl.easy_getinfo(handle, CURLINFO_HTTP_CONNECTCODE, &sent.connectCode);
  if (char* location = nullptr; curl.easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location)
    sent.redirectURL = std::string(location);
  return true;
}

}  // namespace brim
