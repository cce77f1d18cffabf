#pragma once
// libcurl, opened through LateLibrary when a job first posts: most jobs never
// speak HTTP. Its functions are reached through the table below rather than
// under their own names, because curl_easy_setopt and curl_easy_getinfo take
// variable arguments, which no forwarder can pass on; the headers still
// declare them.
#include <curl/curl.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace brim {

class LateLibrary;

// The largest server answer a request keeps; a larger one fails the request.
inline constexpr std::size_t kMaximumAnswerBytes = std::size_t{1} << 20;

// Appends what a write callback got to the answer; false, with the answer let
// go, when that would pass kMaximumAnswerBytes: the callback then ends the
// transfer rather than read the rest.
inline bool appendToAnswer(std::string& answer, const char* data, std::size_t length) {
  if (length > kMaximumAnswerBytes - answer.size()) {
    std::string().swap(answer);
    return false;
  }
  answer.append(data, length);
  return true;
}

class CurlLibrary {
 public:
  // The process's libcurl, opened, resolved and globally initialised by the
  // first call from whichever thread; null when that failed, which is logged once.
  static const CurlLibrary* get();
  // Why get() answers null, for the error a request ends with.
  static std::string unavailableReason();

  // Opens fileName and resolves every function below; null when either fails,
  // with the loader's reason logged and put in why.
  static std::unique_ptr<CurlLibrary> open(const std::string& fileName, std::string& why);

  // Tests make get() answer as if the process's libcurl were fileName
  // (opened, never initialised); absent restores the real one. Not for use
  // while requests run.
  static void useForTesting(std::optional<std::string> fileName);

  // Restricts a transfer, and every redirect it follows, to http and https, and
  // refuses an answer that announces more than kMaximumAnswerBytes. A site of
  // any other scheme (file, ftp, ...) then fails with CURLE_UNSUPPORTED_PROTOCOL.
  bool restrictTransfer(CURL* easy) const;

  // Waits up to `milliseconds` for activity on the pool's transfers, with
  // curl_multi_poll where the library has it (7.66 and later), else with
  // curl_multi_wait.
  CURLMcode waitOnPool(CURLM* pool, int milliseconds) const;

  // Sets an option added after 7.64.1 whose absence another setting already
  // covers: a library that does not know it is no failure.
  bool setIfKnown(CURL* easy, CURLoption option, long value) const;

  ~CurlLibrary();
  CurlLibrary(const CurlLibrary&) = delete;
  CurlLibrary& operator=(const CurlLibrary&) = delete;

  decltype(&curl_global_init) global_init = nullptr;
  decltype(&curl_easy_init) easy_init = nullptr;
  decltype(&curl_easy_setopt) easy_setopt = nullptr;
  decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
  decltype(&curl_easy_perform) easy_perform = nullptr;
  decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&curl_easy_strerror) easy_strerror = nullptr;
  decltype(&curl_multi_init) multi_init = nullptr;
  decltype(&curl_multi_add_handle) multi_add_handle = nullptr;
  decltype(&curl_multi_remove_handle) multi_remove_handle = nullptr;
  decltype(&curl_multi_perform) multi_perform = nullptr;
  decltype(&curl_multi_wait) multi_wait = nullptr;
  // Null with a libcurl older than 7.66.
  decltype(&curl_multi_poll) multi_poll = nullptr;
  decltype(&curl_multi_info_read) multi_info_read = nullptr;
  decltype(&curl_share_init) share_init = nullptr;
  decltype(&curl_share_setopt) share_setopt = nullptr;
  decltype(&curl_url) url = nullptr;
  decltype(&curl_url_set) url_set = nullptr;
  decltype(&curl_url_get) url_get = nullptr;
  decltype(&curl_url_cleanup) url_cleanup = nullptr;
  decltype(&curl_slist_append) slist_append = nullptr;
  decltype(&curl_slist_free_all) slist_free_all = nullptr;
  decltype(&curl_free) free = nullptr;

 private:
  explicit CurlLibrary(std::unique_ptr<LateLibrary> library);
  std::unique_ptr<LateLibrary> library_;
};

// An object libcurl made, handed back to the same library when its owner goes.
template <typename Object, auto release>
struct CurlRelease {
  const CurlLibrary* curl = nullptr;
  void operator()(Object* object) const { (curl->*release)(object); }
};
using CurlEasyHandle = std::unique_ptr<CURL, CurlRelease<CURL, &CurlLibrary::easy_cleanup>>;
using CurlUrlHandle = std::unique_ptr<CURLU, CurlRelease<CURLU, &CurlLibrary::url_cleanup>>;
using CurlHeaderList = std::unique_ptr<curl_slist, CurlRelease<curl_slist, &CurlLibrary::slist_free_all>>;
using CurlText = std::unique_ptr<char, CurlRelease<char, &CurlLibrary::free>>;

}  // namespace brim
