#include "http/CurlLibrary.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/CustomLogger.h"
#include "platform/LateLibrary.h"

namespace brim {
namespace {

constexpr auto kGet = Sig::classLevel("CurlLibrary", "get");

constexpr const char* kFunctions[] = {
    "curl_global_init",      "curl_easy_init",
    "curl_easy_setopt",      "curl_easy_getinfo",
    "curl_easy_perform",     "curl_easy_cleanup",
    "curl_easy_strerror",    "curl_multi_init",
    "curl_multi_add_handle", "curl_multi_remove_handle",
    "curl_multi_perform",    "curl_multi_wait",
    "curl_multi_info_read",  "curl_share_init",
    "curl_share_setopt",     "curl_url",
    "curl_url_set",          "curl_url_get",
    "curl_url_cleanup",      "curl_slist_append",
    "curl_slist_free_all",   "curl_free",
};
// Newer than the libcurl of the oldest macOS the tool supports (7.64.1).
constexpr const char* kLaterFunctions[] = {"curl_multi_poll"};
constexpr LateLibrary::Declaration kCurl{LateLibrary::Name::kCurl, "libcurl", "HTTP requests fail", kFunctions,
                                         kLaterFunctions};

// How long a wait that had nothing to wait on pauses before the pool is driven again.
constexpr auto kIdlePause = std::chrono::milliseconds(10);

struct Loaded {
  std::unique_ptr<CurlLibrary> library;
  std::string reason;
};

// Kept to the end of the process and never closed, as LateLibrary::shared keeps its libraries.
Loaded& processLibrary() {
  static Loaded& loaded = *new Loaded;
  static std::once_flag once;
  std::call_once(once, [] {
    loaded.library = CurlLibrary::open(std::string(LateLibrary::fileOf(LateLibrary::Name::kCurl)), loaded.reason);
    if (!loaded.library) return;
    // Once, before any other call: the library's global set-up is not thread-safe.
    if (const CURLcode code = loaded.library->global_init(CURL_GLOBAL_DEFAULT); code != CURLE_OK) {
      loaded.reason = std::string("curl_global_init failed: ") + loaded.library->easy_strerror(code);
      logAt(kGet, "cannot use libcurl, HTTP requests fail: " + loaded.reason);
      loaded.library.reset();
    }
  });
  return loaded;
}

std::unique_ptr<Loaded>& testingLibrary() {
  static std::unique_ptr<Loaded> testing;
  return testing;
}

}  // namespace

const CurlLibrary* CurlLibrary::get() {
  if (auto& testing = testingLibrary()) return testing->library.get();
  return processLibrary().library.get();
}

std::string CurlLibrary::unavailableReason() {
  if (auto& testing = testingLibrary()) return testing->reason;
  return processLibrary().reason;
}

std::unique_ptr<CurlLibrary> CurlLibrary::open(const std::string& fileName, std::string& why) {
  std::unique_ptr<LateLibrary> loaded = LateLibrary::open(kCurl, fileName, why);
  if (!loaded) return nullptr;
  const LateLibrary& late = *loaded;
  std::unique_ptr<CurlLibrary> library(new CurlLibrary(std::move(loaded)));
  CurlLibrary& l = *library;
#define BRIM_BIND(name) l.name = late.function<decltype(l.name)>("curl_" #name)
  BRIM_BIND(global_init);
  BRIM_BIND(easy_init);
  BRIM_BIND(easy_setopt);
  BRIM_BIND(easy_getinfo);
  BRIM_BIND(easy_perform);
  BRIM_BIND(easy_cleanup);
  BRIM_BIND(easy_strerror);
  BRIM_BIND(multi_init);
  BRIM_BIND(multi_add_handle);
  BRIM_BIND(multi_remove_handle);
  BRIM_BIND(multi_perform);
  BRIM_BIND(multi_wait);
  BRIM_BIND(multi_poll);
  BRIM_BIND(multi_info_read);
  BRIM_BIND(share_init);
  BRIM_BIND(share_setopt);
  BRIM_BIND(url);
  BRIM_BIND(url_set);
  BRIM_BIND(url_get);
  BRIM_BIND(url_cleanup);
  BRIM_BIND(slist_append);
  BRIM_BIND(slist_free_all);
  BRIM_BIND(free);
#undef BRIM_BIND
  return library;
}

void CurlLibrary::useForTesting(std::optional<std::string> fileName) {
  auto& testing = testingLibrary();
  testing.reset();
  if (!fileName) return;
  testing = std::make_unique<Loaded>();
  testing->library = open(*fileName, testing->reason);
}

bool CurlLibrary::restrictTransfer(CURL* easy) const {
  bool restricted =
      easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaximumAnswerBytes)) == CURLE_OK;
  const CURLcode named = easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  if (named == CURLE_OK) return easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK && restricted;
  if (named != CURLE_UNKNOWN_OPTION) return false;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  // A libcurl older than 7.85 knows only the bit masks, which later ones deprecate.
  constexpr long kHTTP = CURLPROTO_HTTP | CURLPROTO_HTTPS;
  restricted = easy_setopt(easy, CURLOPT_PROTOCOLS, kHTTP) == CURLE_OK && restricted;
  restricted = easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS, kHTTP) == CURLE_OK && restricted;
#pragma GCC diagnostic pop
  return restricted;
}

CURLMcode CurlLibrary::waitOnPool(CURLM* pool, int milliseconds) const {
  if (multi_poll) return multi_poll(pool, nullptr, 0, milliseconds, nullptr);
  // curl_multi_wait returns at once when the pool has no socket to offer (while
  // a name is resolved, say); without the pause the caller's loop would spin.
  int events = 0;
  const CURLMcode code = multi_wait(pool, nullptr, 0, milliseconds, &events);
  if (code == CURLM_OK && events == 0) std::this_thread::sleep_for(kIdlePause);
  return code;
}

bool CurlLibrary::setIfKnown(CURL* easy, CURLoption option, long value) const {
  const CURLcode code = easy_setopt(easy, option, value);
  return code == CURLE_OK || code == CURLE_UNKNOWN_OPTION;
}

CurlLibrary::CurlLibrary(std::unique_ptr<LateLibrary> library) : library_(std::move(library)) {}

CurlLibrary::~CurlLibrary() = default;

}  // namespace brim
