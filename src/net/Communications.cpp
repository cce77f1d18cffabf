#include "net/Communications.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "app/CustomLogger.h"
#include "config/GlobalPreferences.h"
#include "config/ProxySettings.h"
#include "http/ASIHTTPRequest.h"
#include "platform/Text.h"

namespace brim {
namespace {

constexpr auto kSend = Sig::instance("Communications", "sendDataToURLString:dataString:");

struct CurlUrlFree {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlFree>;
struct CurlFree {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlListFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

std::optional<std::string> absoluteText(CURLU* url) {
  char* text = nullptr;
  if (curl_url_get(url, CURLUPART_URL, &text, 0) != CURLUE_OK) return std::nullopt;
  std::string result = text;
  curl_free(text);
  return result;
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
  CurlUrl url(curl_url());
  if (url && curl_url_set(url.get(), CURLUPART_URL, compact.c_str(), 0) == CURLUE_OK) {
    communications.baseURL = absoluteText(url.get());
  }
  return communications;
}

std::optional<std::string> Communications::resolve(const std::string& path) const {
  CurlUrl url(curl_url());
  if (!url) return std::nullopt;
  if (baseURL && curl_url_set(url.get(), CURLUPART_URL, baseURL->c_str(), 0) != CURLUE_OK) return std::nullopt;
  // Setting a relative reference on a URL handle resolves it against the URL it holds.
  if (curl_url_set(url.get(), CURLUPART_URL, path.c_str(), 0) != CURLUE_OK) return std::nullopt;
  return absoluteText(url.get());
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
  std::unique_ptr<CURL, CurlFree> curl(curl_easy_init());
  if (!curl || !url) {
    logAt(kSend, "responseFromServer=(null)");
    logAt(kSend, "proxy error = Error Domain=NSURLErrorDomain Code=-1000 \"bad URL\"");
    return std::nullopt;
  }
  std::unique_ptr<curl_slist, CurlListFree> headers(curl_slist_append(nullptr, "Content-Type: application/html"));
  headers.reset(curl_slist_append(headers.release(), "Cache-Control: no-cache"));
  headers.reset(curl_slist_append(headers.release(), "Expect:"));
  std::string received;
  char error[CURL_ERROR_SIZE] = {};
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, url->c_str());
  curl_easy_setopt(handle, CURLOPT_PROXY, "");  // never a proxy from the environment
  curl_easy_setopt(handle, CURLOPT_POST, 1L);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, kDirectTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 16L);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, collectBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
  const CURLcode result = curl_easy_perform(handle);

  std::optional<std::string> response;
  if (result == CURLE_OK && isValidUtf8(received)) response = received;
  logAt(kSend, "responseFromServer=" + orNull(response));
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (result == CURLE_OK && status / 100 != 2) {
    logAt(kSend, "HTTP status code = " + std::to_string(status));
    response.reset();
  }
  if (result != CURLE_OK) {
    logAt(kSend, "proxy error = Error Domain=NSURLErrorDomain Code=" + std::to_string(-static_cast<int>(result)) +
                     " \"" + (error[0] ? std::string(error) : std::string(curl_easy_strerror(result))) + "\"");
    response.reset();
  }
  return response;
}

}  // namespace brim
