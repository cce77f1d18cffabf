#include "platform/LateLibrary.h"

namespace brim {

// The run-time names the development headers describe, found on the loader's
// own search path; the frameworks exist only on macOS.
std::string_view LateLibrary::fileOf(Name name) {
  switch (name) {
    case Name::kCurl:
      return "libcurl.so.4";
    case Name::kSqlite:
      return "libsqlite3.so.0";
    case Name::kZlib:
      return "libz.so.1";
    case Name::kCrypto:
      return "libcrypto.so.3";
    case Name::kSystemConfiguration:
    case Name::kCoreFoundation:
      return {};
  }
  return {};
}

}  // namespace brim
