#include "net/Communications.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "app/CustomLogger.h"
#include "config/GlobalPreferences.h"
#include "config/ProxySettings.h"
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

size_t collectBody(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

}  // namespace

Communications Communications::initWithBaseURLString(const std::string& site) {
  std::string compact = site;
  compact.erase(std::remove(compact.begin(), compact.end(), ' '), compact.end());
  Communications communications;
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
  // Setting a relative reference on a URL handle resolves it against the URL it holds.
  if (curl->url_set(url.get(), CURLUPART_URL, path.c_str(), 0) != CURLUE_OK) return std::nullopt;
  return absoluteText(*curl, url.get());
}

std::optional<std::string> Communications::sendDataToURLString(const std::string& path, const std::string& body) {
  const std::optional<std::string> url = resolve(path);
  logAt(kSend, "fullURL=" + orNull(url));
  logAt(kSend, "dataString=" + body);

  if (url) {
    if (auto answer = postThroughProxy(*url, body); answer && !answer->empty()) return answer;
  }
  return postDirectly(url, body);
}

std::optional<std::string> Communications::postThroughProxy(const std::string& url, const std::string& body) {
  const ProxySettings* proxy = GlobalPreferences::getSharedInstance().proxySettings();
  if (!proxy || !proxy->proxyIP || proxy->proxyIP->empty()) return std::nullopt;
  logAt(kSend, "Proxy settings detected. Connecting through proxy server");

  // Proxy attempts run one at a time in the process; the answer is examined after the lock is let go.
  static std::mutex proxyLock;
  std::unique_lock guard(proxyLock);
  ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(url);
  const int port = static_cast<int>(proxy->proxyPort);
  logAt(kSend, "using proxyip=" + *proxy->proxyIP + " port=" + std::to_string(port));
  request.setProxyHost(proxy->proxyIP);
  request.setProxyPort(port);
  request.setProxyUsername(proxy->proxyUserName);
  request.setProxyPassword(proxy->proxyPassword);
  request.setResponseEncoding("UTF-8");
  request.appendPostData(body);
  request.startSynchronous();
  guard.unlock();

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
  std::string received;
  char error[CURL_ERROR_SIZE] = {};
  CURL* handle = easy.get();
  curl->easy_setopt(handle, CURLOPT_URL, url->c_str());
  curl->easy_setopt(handle, CURLOPT_PROXY, "");  // never a proxy from the environment
  curl->easy_setopt(handle, CURLOPT_POST, 1L);
  curl->easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
  curl->easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl->easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl->easy_setopt(handle, CURLOPT_TIMEOUT, kDirectTimeoutSeconds);
  curl->easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl->easy_setopt(handle, CURLOPT_MAXREDIRS, 16L);
  curl->easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl->easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
  curl->easy_setopt(handle, CURLOPT_WRITEFUNCTION, collectBody);
  curl->easy_setopt(handle, CURLOPT_WRITEDATA, &received);
  const CURLcode result = curl->easy_perform(handle);

  std::optional<std::string> response;
  if (result == CURLE_OK && isValidUtf8(received)) response = received;
  logAt(kSend, "responseFromServer=" + orNull(response));
  long status = 0;
  curl->easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (result == CURLE_OK && status / 100 != 2) {
    logAt(kSend, "HTTP status code = " + std::to_string(status));
    response.reset();
  }
  if (result != CURLE_OK) {
    logAt(kSend, "proxy error = Error Domain=NSURLErrorDomain Code=" + std::to_string(-static_cast<int>(result)) +
                     " \"" + (error[0] ? std::string(error) : std::string(curl->easy_strerror(result))) + "\"");
    response.reset();
  }
  return response;
}

}  // namespace brim
