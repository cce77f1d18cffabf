#include "net/Communications.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

#include "http/ASIHTTPRequest.h"
#include "http/CurlLibrary.h"
#include "platform/CustomLogger.h"
#include "platform/Text.h"

namespace brim {
namespace {

constexpr auto kSend = Sig::instance("Communications", "sendDataToURLString:dataString:");

std::optional<std::string> absoluteText(const CurlLibrary& curl, CURLU* url) {
  char* raw = nullptr;
  if (curl.url_get(url, CURLUPART_URL, &raw, 0) != CURLUE_OK || !raw) return std::nullopt;
  CurlText text(raw, {&curl});
  return std::string(text.get());
}

bool isHTTP(const std::string& url) { return url.starts_with("http://") || url.starts_with("https://"); }

std::chrono::seconds& attemptLimit() {
  static std::chrono::seconds limit = Communications::kAttemptLimit;
  return limit;
}

// The error as the log shows it, on either route.
std::string errorText(const ASIError& error) {
  std::string text = "Error Domain=" + error.domain + " Code=" + std::to_string(error.code) + " \"" +
                     error.localizedDescription + "\"";
  if (error.underlyingError) text += " UserInfo={NSUnderlyingError=" + *error.underlyingError + "}";
  return text;
}

void run(ASIHTTPRequest& request, const std::string& body) {
  request.setResponseEncoding(std::string(kUTF8StringEncoding));
  request.setMaximumDuration(attemptLimit());
  request.appendPostData(body);
  request.startSynchronous();
}

// What an attempt's answer counts for, read the same way on both routes: its
// text is logged under the route's label; only a 2xx status without an error
// is an answer, whatever its body.
std::optional<std::string> answerOf(const ASIHTTPRequest& request, const std::string& label) {
  if (request.responseTooLarge()) {
    logAt(kSend, label + "(null)");
    logAt(kSend, "Response refused: the answer is larger than " + std::to_string(kMaximumAnswerBytes) + " bytes");
    return std::nullopt;
  }
  const std::optional<std::string> text = request.responseString();
  logAt(kSend, label + orNull(text));
  bool answered = true;
  if (request.responseStatusCode() / 100 != 2) {
    logAt(kSend, "HTTP status code = " + std::to_string(request.responseStatusCode()));
    answered = false;
  }
  if (const auto& error = request.error()) {
    logAt(kSend, "proxy error = " + errorText(*error));
    answered = false;
  }
  if (!answered) return std::nullopt;
  return text.value_or("");
}

}  // namespace

Communications Communications::initWithBaseURLString(const std::string& site, std::optional<ProxyRoute> proxy) {
  std::string compact = site;
  compact.erase(std::remove(compact.begin(), compact.end(), ' '), compact.end());
  Communications communications;
  communications.proxy = std::move(proxy);
  const CurlLibrary* curl = CurlLibrary::get();
  if (!curl) return communications;
  CurlUrlHandle url(curl->url(), {curl});
  if (url && curl->url_set(url.get(), CURLUPART_URL, compact.c_str(), 0) == CURLUE_OK) {
    communications.baseURL = absoluteText(*curl, url.get());
  }
  return communications;
}

std::optional<std::string> Communications::resolve(const std::string& path) const {
  const CurlLibrary* curl = CurlLibrary::get();
  if (!curl) return std::nullopt;
  CurlUrlHandle url(curl->url(), {curl});
  if (!url) return std::nullopt;
  if (baseURL && curl->url_set(url.get(), CURLUPART_URL, baseURL->c_str(), 0) != CURLUE_OK) return std::nullopt;
  // An empty reference is the base itself (RFC 3986, 5.2.2), query included, fragment not.
  if (path.empty()) {
    if (!baseURL) return std::nullopt;
    curl->url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
    return absoluteText(*curl, url.get());
  }
  // Setting a relative reference on a URL handle resolves it against the URL it holds.
  if (curl->url_set(url.get(), CURLUPART_URL, path.c_str(), 0) != CURLUE_OK) return std::nullopt;
  return absoluteText(*curl, url.get());
}

std::optional<std::string> Communications::sendDataToURLString(const std::string& path, const std::string& body) {
  std::optional<std::string> url = resolve(path);
  logAt(kSend, "fullURL=" + orNull(url));
  logAt(kSend, "dataString=" + body);
  if (url && !isHTTP(*url)) {
    // Nothing but a web server is ever asked: a file or FTP site is never read.
    logAt(kSend, "refused " + *url + ": only http and https sites are posted to");
    url.reset();
  }

  // An answer through the proxy is the server's too: it is not posted again directly.
  if (url) {
    if (auto answer = postThroughProxy(*url, body)) return answer;
  }
  return postDirectly(url, body);
}

void Communications::setAttemptLimit(std::optional<std::chrono::seconds> limit) {
  attemptLimit() = limit.value_or(kAttemptLimit);
}

std::optional<std::string> Communications::postThroughProxy(const std::string& url, const std::string& body) {
  if (!proxy || !proxy->host || proxy->host->empty()) return std::nullopt;
  if (proxy->port < 0 || proxy->port > 65535) {
    logAt(kSend, "proxy port " + std::to_string(proxy->port) + " is out of range; the proxy is not used");
    return std::nullopt;
  }
  logAt(kSend, "Proxy settings detected. Connecting through proxy server");

  // Proxy attempts run one at a time in the process; the answer is examined after the lock is let go.
  static std::mutex proxyLock;
  std::unique_lock guard(proxyLock);
  ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(url);
  logAt(kSend, "using proxyip=" + withoutAddressCredentials(*proxy->host) + " port=" + std::to_string(proxy->port));
  request.setProxyHost(proxy->host);
  request.setProxyPort(static_cast<int>(proxy->port));
  request.setProxyUsername(proxy->userName);
  request.setProxyPassword(proxy->password);
  run(request, body);
  guard.unlock();
  return answerOf(request, "Response =");
}

std::optional<std::string> Communications::postDirectly(const std::optional<std::string>& url,
                                                        const std::string& body) {
  logAt(kSend, "Connecting without proxy server");
  // Without a usable URL the engine fails the request as one it cannot make.
  ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(url.value_or(""));
  request.setRequestMethod("POST");
  request.addRequestHeader("Content-Type", "application/html");
  request.addRequestHeader("Cache-Control", "no-cache");
  request.setTimeOutSeconds(kDirectTimeoutSeconds);
  run(request, body);
  return answerOf(request, "responseFromServer=");
}

}  // namespace brim
