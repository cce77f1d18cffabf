#include "http/CurlLibrary.h"

#include <dlfcn.h>

#include <mutex>

#include "platform/CustomLogger.h"

namespace brim {
namespace {

constexpr auto kOpen = Sig::classLevel("CurlLibrary", "open:");
constexpr auto kGet = Sig::classLevel("CurlLibrary", "get");

// The run-time name of the library the development headers describe.
#if defined(__APPLE__)
constexpr const char* kLibraryFileName = "libcurl.4.dylib";
#else
constexpr const char* kLibraryFileName = "libcurl.so.4";
#endif

struct Loaded {
  std::unique_ptr<CurlLibrary> library;
  std::string reason;
};

// Kept to the end of the process and never closed: unloading libcurl at exit
// would unload the libraries it pulled in while their thread-local storage is
// still registered with the threads that used them.
Loaded& processLibrary() {
  static Loaded& loaded = *new Loaded;
  static std::once_flag once;
  std::call_once(once, [] {
    loaded.library = CurlLibrary::open(kLibraryFileName, loaded.reason);
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

template <typename Function>
bool resolve(void* handle, const char* name, Function& slot, std::string& reason) {
  ::dlerror();
  void* address = ::dlsym(handle, name);
  if (!address) {
    const char* error = ::dlerror();
    reason = error ? error : std::string(name) + " is null";
    return false;
  }
  slot = reinterpret_cast<Function>(address);
  return true;
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

std::unique_ptr<CurlLibrary> CurlLibrary::open(const std::string& fileName, std::string& reason) {
  void* handle = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* error = ::dlerror();
    reason = error ? error : fileName + " could not be opened";
    logAt(kOpen, "cannot load libcurl, HTTP requests fail: " + reason);
    return nullptr;
  }
  std::unique_ptr<CurlLibrary> library(new CurlLibrary(handle));
  CurlLibrary& l = *library;
#define BRIM_RESOLVE(name) resolve(handle, "curl_" #name, l.name, reason)
  const bool resolved = BRIM_RESOLVE(global_init) && BRIM_RESOLVE(easy_init) && BRIM_RESOLVE(easy_setopt) &&
                        BRIM_RESOLVE(easy_getinfo) && BRIM_RESOLVE(easy_perform) && BRIM_RESOLVE(easy_cleanup) &&
                        BRIM_RESOLVE(easy_strerror) && BRIM_RESOLVE(multi_init) && BRIM_RESOLVE(multi_add_handle) &&
                        BRIM_RESOLVE(multi_remove_handle) && BRIM_RESOLVE(multi_perform) && BRIM_RESOLVE(multi_poll) &&
                        BRIM_RESOLVE(multi_info_read) && BRIM_RESOLVE(share_init) && BRIM_RESOLVE(share_setopt) &&
                        BRIM_RESOLVE(url) && BRIM_RESOLVE(url_set) && BRIM_RESOLVE(url_get) &&
                        BRIM_RESOLVE(url_cleanup) && BRIM_RESOLVE(slist_append) && BRIM_RESOLVE(slist_free_all) &&
                        BRIM_RESOLVE(free);
#undef BRIM_RESOLVE
  if (!resolved) {
    logAt(kOpen, "cannot use libcurl, HTTP requests fail: " + reason);
    return nullptr;
  }
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

CurlLibrary::~CurlLibrary() { ::dlclose(handle_); }

}  // namespace brim
