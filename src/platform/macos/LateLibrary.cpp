#include "platform/LateLibrary.h"

namespace brim {

// The system's own copies, by absolute path so that nothing placed on a
// library search path can stand in for them. macOS offers no libcrypto to
// other programs: the cipher uses CommonCrypto, part of libSystem.
std::string_view LateLibrary::fileOf(Name name) {
  switch (name) {
    case Name::kCurl:
      return "/usr/lib/libcurl.4.dylib";
    case Name::kSqlite:
      return "/usr/lib/libsqlite3.dylib";
    case Name::kZlib:
      return "/usr/lib/libz.1.dylib";
    case Name::kCrypto:
      return {};
    case Name::kSystemConfiguration:
      return "/System/Library/Frameworks/SystemConfiguration.framework/SystemConfiguration";
    case Name::kCoreFoundation:
      return "/System/Library/Frameworks/CoreFoundation.framework/CoreFoundation";
  }
  return {};
}

}  // namespace brim
