// A libcurl that answers as release 7.64.1 does (the one the oldest supported
// macOS ships), for the tests of the engine's fallbacks: curl_multi_poll is
// absent, curl_version_info says 7.64.1 and every option added since answers
// CURLE_UNKNOWN_OPTION. The rest is the real library's, reached by name.
#define CURL_DISABLE_TYPECHECK  // the forwarders below define what the checks wrap
#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdarg>

#define SHIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

#ifdef __APPLE__
constexpr const char* kRealLibrary = "/usr/lib/libcurl.4.dylib";
#else
constexpr const char* kRealLibrary = "libcurl.so.4";
#endif

// CURLOPT_ALTSVC: the last option 7.64.1 knows, by its number within its type.
constexpr int kLastKnownOption = 287;

// Kept open to the end of the process: connections the real library holds outlive this one.
template <typename Function>
Function real(const char* name) {
  static void* const library = dlopen(kRealLibrary, RTLD_NOW | RTLD_LOCAL);
  return library ? reinterpret_cast<Function>(dlsym(library, name)) : nullptr;
}

}  // namespace

// NOLINTBEGIN(bugprone-macro-parentheses)
#define SHIM_FORWARD(result, name, parameters, arguments)      \
  SHIM_EXPORT result name parameters {                         \
    static const auto function = real<decltype(&name)>(#name); \
    return function arguments;                                 \
  }
// NOLINTEND(bugprone-macro-parentheses)

SHIM_FORWARD(CURLcode, curl_global_init, (long flags), (flags))
SHIM_FORWARD(CURL*, curl_easy_init, (), ())
SHIM_FORWARD(CURLcode, curl_easy_perform, (CURL * easy), (easy))
SHIM_FORWARD(void, curl_easy_cleanup, (CURL * easy), (easy))
SHIM_FORWARD(const char*, curl_easy_strerror, (CURLcode code), (code))
SHIM_FORWARD(CURLM*, curl_multi_init, (), ())
SHIM_FORWARD(CURLMcode, curl_multi_add_handle, (CURLM * multi, CURL* easy), (multi, easy))
SHIM_FORWARD(CURLMcode, curl_multi_remove_handle, (CURLM * multi, CURL* easy), (multi, easy))
SHIM_FORWARD(CURLMcode, curl_multi_perform, (CURLM * multi, int* running), (multi, running))
SHIM_FORWARD(CURLMcode, curl_multi_wait,
             (CURLM * multi, struct curl_waitfd* extra, unsigned int extraCount, int milliseconds, int* events),
             (multi, extra, extraCount, milliseconds, events))
SHIM_FORWARD(CURLMsg*, curl_multi_info_read, (CURLM * multi, int* queued), (multi, queued))
SHIM_FORWARD(CURLSH*, curl_share_init, (), ())
SHIM_FORWARD(CURLU*, curl_url, (), ())
SHIM_FORWARD(CURLUcode, curl_url_set, (CURLU * url, CURLUPart part, const char* text, unsigned int flags),
             (url, part, text, flags))
SHIM_FORWARD(CURLUcode, curl_url_get, (CURLU * url, CURLUPart part, char** text, unsigned int flags),
             (url, part, text, flags))
SHIM_FORWARD(void, curl_url_cleanup, (CURLU * url), (url))
SHIM_FORWARD(struct curl_slist*, curl_slist_append, (struct curl_slist * list, const char* line), (list, line))
SHIM_FORWARD(void, curl_slist_free_all, (struct curl_slist * list), (list))
SHIM_FORWARD(void, curl_free, (void* text), (text))

SHIM_EXPORT curl_version_info_data* curl_version_info(CURLversion stamp) {
  static curl_version_info_data answered = [stamp] {
    curl_version_info_data data = *real<decltype(&curl_version_info)>("curl_version_info")(stamp);
    data.version = "7.64.1";
    data.version_num = 0x074001;
    return data;
  }();
  return &answered;
}

// libcurl's prototypes put an enum before the variable arguments; its
// underlying type is int, which promotion leaves as it is.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wvarargs"

SHIM_EXPORT CURLcode curl_easy_setopt(CURL* easy, CURLoption option, ...) {
  static const auto function = real<decltype(&curl_easy_setopt)>("curl_easy_setopt");
  if (option % 10000 > kLastKnownOption || option >= CURLOPTTYPE_BLOB) return CURLE_UNKNOWN_OPTION;
  va_list arguments;
  va_start(arguments, option);
  CURLcode code = CURLE_OK;
  if (option < CURLOPTTYPE_OBJECTPOINT) {
    code = function(easy, option, va_arg(arguments, long));
  } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
    code = function(easy, option, va_arg(arguments, void*));
  } else if (option < CURLOPTTYPE_OFF_T) {
    code = function(easy, option, va_arg(arguments, void (*)()));
  } else {
    code = function(easy, option, va_arg(arguments, curl_off_t));
  }
  va_end(arguments);
  return code;
}

// Every query answers through a pointer.
SHIM_EXPORT CURLcode curl_easy_getinfo(CURL* easy, CURLINFO info, ...) {
  static const auto function = real<decltype(&curl_easy_getinfo)>("curl_easy_getinfo");
  va_list arguments;
  va_start(arguments, info);
  const CURLcode code = function(easy, info, va_arg(arguments, void*));
  va_end(arguments);
  return code;
}

SHIM_EXPORT CURLSHcode curl_share_setopt(CURLSH* share, CURLSHoption option, ...) {
  static const auto function = real<decltype(&curl_share_setopt)>("curl_share_setopt");
  va_list arguments;
  va_start(arguments, option);
  CURLSHcode code = CURLSHE_OK;
  if (option == CURLSHOPT_SHARE || option == CURLSHOPT_UNSHARE) {
    code = function(share, option, va_arg(arguments, int));
  } else {
    code = function(share, option, va_arg(arguments, void*));
  }
  va_end(arguments);
  return code;
}

#pragma GCC diagnostic pop
