#include "net/Communications.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

#include "platform/CustomLogger.h"
#include "http/ASIHTTPRequest.h"
#include "http/CurlLibrary.h"
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

// What the direct request received, and when a byte last moved either way:
// its time-out is one of inactivity, so an answer that comes slowly but
// steadily is waited for however long it takes.
struct DirectTransfer {
  using Clock = std::chrono::steady_clock;
  std::string body;
  bool tooLarge = false;
  bool idle = false;
  curl_off_t moved = 0;
  Clock::time_point lastActivity = Clock::now();

  static size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<DirectTransfer*>(user);
    transfer.tooLarge = !appendToAnswer(transfer.body, data, size * count);
    return transfer.tooLarge ? 0 : size * count;
  }

  // Called about once a second even while nothing moves.
  static int onProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
    auto& transfer = *static_cast<DirectTransfer*>(user);
    const Clock::time_point now = Clock::now();
    if (received + sent != transfer.moved) {
      transfer.moved = received + sent;
      transfer.lastActivity = now;
      return 0;
    }
    transfer.idle = now - transfer.lastActivity > std::chrono::seconds(Communications::kDirectTimeoutSeconds);
    return transfer.idle ? 1 : 0;
  }
};

bool isHTTP(const std::string& url) { return url.starts_with("http://") || url.starts_with("https://"); }

void logTooLarge() {
  logAt(kSend, "Response refused: the answer is larger than " + std::to_string(kMaximumAnswerBytes) + " bytes");
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

  if (url) {
    if (auto answer = postThroughProxy(*url, body); answer && !answer->empty()) return answer;
  }
  return postDirectly(url, body);
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
  logAt(kSend, "using proxyip=" + *proxy->host + " port=" + std::to_string(proxy->port));
  request.setProxyHost(proxy->host);
  request.setProxyPort(static_cast<int>(proxy->port));
  request.setProxyUsername(proxy->userName);
  request.setProxyPassword(proxy->password);
  request.setResponseEncoding("UTF-8");
  request.setMaximumDuration(std::chrono::seconds(kProxyAttemptSeconds));
  request.appendPostData(body);
  request.startSynchronous();
  guard.unlock();

  if (request.responseTooLarge()) {
    logTooLarge();
    return std::nullopt;
  }
  std::optional<std::string> response = request.responseString();
  logAt(kSend, "Response =" + orNull(response));
  if (request.responseStatusCode() / 100 != 2) {
    logAt(kSend, "HTTP status code = " + std::to_string(request.responseStatusCode()));
    response.reset();
  }
  if (const auto& error = request.error()) {
    logAt(kSend, "proxy error = Error Domain=" + error->domain + " Code=" + std::to_string(error->code) + " \"" +
                     error->localizedDescription + "\"");
    response.reset();
  }
  return response;
}

std::optional<std::string> Communications::postDirectly(const std::optional<std::string>& url,
                                                        const std::string& body) {
  logAt(kSend, "Connecting without proxy server");
  const CurlLibrary* curl = CurlLibrary::get();
  CurlEasyHandle easy(curl ? curl->easy_init() : nullptr, {curl});
  if (!easy || !url) {
    logAt(kSend, "responseFromServer=(null)");
    logAt(kSend, "proxy error = Error Domain=NSURLErrorDomain Code=-1000 \"bad URL\"");
    return std::nullopt;
  }
  CurlHeaderList headers(nullptr, {curl});
  for (const char* line : {"Content-Type: application/html", "Cache-Control: no-cache", "Expect:"}) {
    // On failure the list is left as it was, still owned here.
    if (curl_slist* appended = curl->slist_append(headers.get(), line)) {
      (void)headers.release();
      headers.reset(appended);
    }
  }
  DirectTransfer transfer;
  char error[CURL_ERROR_SIZE] = {};
  CURL* handle = easy.get();
  if (!curl->restrictTransfer(handle)) {
    logAt(kSend, "responseFromServer=(null)");
    logAt(kSend, "proxy error = this libcurl cannot be held to http and https; nothing sent");
    return std::nullopt;
  }
  curl->easy_setopt(handle, CURLOPT_URL, url->c_str());
  curl->easy_setopt(handle, CURLOPT_PROXY, "");  // never a proxy from the environment
  curl->easy_setopt(handle, CURLOPT_POST, 1L);
  curl->easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
  curl->easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl->easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl->easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kDirectTimeoutSeconds);
  curl->easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl->easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &DirectTransfer::onProgress);
  curl->easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
  curl->easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl->easy_setopt(handle, CURLOPT_MAXREDIRS, 16L);
  curl->easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl->easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
  curl->easy_setopt(handle, CURLOPT_WRITEFUNCTION, &DirectTransfer::onBody);
  curl->easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
  const CURLcode result = curl->easy_perform(handle);

  if (transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
    logAt(kSend, "responseFromServer=(null)");
    logTooLarge();
    return std::nullopt;
  }
  std::optional<std::string> response;
  if (result == CURLE_OK && isValidUtf8(transfer.body)) response = std::move(transfer.body);
  logAt(kSend, "responseFromServer=" + orNull(response));
  long status = 0;
  curl->easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (result == CURLE_OK && status / 100 != 2) {
    logAt(kSend, "HTTP status code = " + std::to_string(status));
    response.reset();
  }
  if (transfer.idle) {
    logAt(kSend, "proxy error = Error Domain=NSURLErrorDomain Code=-1001 \"The request timed out.\"");
    response.reset();
  } else if (result != CURLE_OK) {
    logAt(kSend, "proxy error = Error Domain=NSURLErrorDomain Code=" + std::to_string(-static_cast<int>(result)) +
                     " \"" + (error[0] ? std::string(error) : std::string(curl->easy_strerror(result))) + "\"");
    response.reset();
  }
  return response;
}

}  // namespace brim
