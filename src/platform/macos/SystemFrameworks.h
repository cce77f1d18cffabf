#pragma once
// The few macOS system interfaces the tool calls whose headers are not at hand
// where it is built (no SDK): CommonCrypto's cipher, part of libSystem and
// linked as usual, and the functions of SystemConfiguration and CoreFoundation,
// opened late through LateLibrary. Each declaration is the system's own, with
// the system's names, types and constant values.
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

#include "platform/LateLibrary.h"

// <CommonCrypto/CommonCryptor.h>
extern "C" {
using CCCryptorStatus = int32_t;
using CCOperation = uint32_t;
using CCAlgorithm = uint32_t;
using CCOptions = uint32_t;
inline constexpr CCCryptorStatus kCCSuccess = 0;
inline constexpr CCOperation kCCEncrypt = 0;
inline constexpr CCOperation kCCDecrypt = 1;
inline constexpr CCAlgorithm kCCAlgorithmAES = 0;
inline constexpr std::size_t kCCKeySizeAES256 = 32;
CCCryptorStatus CCCrypt(CCOperation op, CCAlgorithm alg, CCOptions options, const void* key, std::size_t keyLength,
                        const void* iv, const void* dataIn, std::size_t dataInLength, void* dataOut,
                        std::size_t dataOutAvailable, std::size_t* dataOutMoved);
}

namespace brim::mac {

// <CoreFoundation/CoreFoundation.h>
using Boolean = unsigned char;
using CFIndex = long;
using CFOptionFlags = unsigned long;
using CFStringEncoding = uint32_t;
using CFTypeRef = const void*;
using CFAllocatorRef = const struct __CFAllocator*;
using CFStringRef = const struct __CFString*;
using CFDictionaryRef = const struct __CFDictionary*;
using CFNotificationCenterRef = struct __CFNotificationCenter*;
inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;
// Delivered to the processes of every logged-in user, not only this session's.
inline constexpr CFOptionFlags kCFNotificationPostToAllSessions = 2;

using CFStringCreateWithBytesFunction = CFStringRef (*)(CFAllocatorRef allocator, const uint8_t* bytes,
                                                        CFIndex numBytes, CFStringEncoding encoding,
                                                        Boolean isExternalRepresentation);
using CFReleaseFunction = void (*)(CFTypeRef object);
using CFNotificationCenterGetDistributedCenterFunction = CFNotificationCenterRef (*)();
using CFNotificationCenterPostNotificationWithOptionsFunction = void (*)(CFNotificationCenterRef center,
                                                                         CFStringRef name, const void* object,
                                                                         CFDictionaryRef userInfo,
                                                                         CFOptionFlags options);

inline constexpr const char* kCoreFoundationFunctions[] = {
    "CFStringCreateWithBytes",
    "CFRelease",
    "CFNotificationCenterGetDistributedCenter",
    "CFNotificationCenterPostNotificationWithOptions",
};
inline constexpr LateLibrary::Declaration kCoreFoundation{
    LateLibrary::Name::kCoreFoundation, "CoreFoundation",
    "the network reads as unreachable and no notification is posted", kCoreFoundationFunctions};

// <SystemConfiguration/SCNetworkReachability.h>
using SCNetworkReachabilityRef = const struct __SCNetworkReachability*;
using SCNetworkReachabilityFlags = uint32_t;

using SCNetworkReachabilityCreateWithAddressFunction = SCNetworkReachabilityRef (*)(CFAllocatorRef allocator,
                                                                                    const struct sockaddr* address);
using SCNetworkReachabilityGetFlagsFunction = Boolean (*)(SCNetworkReachabilityRef target,
                                                          SCNetworkReachabilityFlags* flags);

inline constexpr const char* kSystemConfigurationFunctions[] = {
    "SCNetworkReachabilityCreateWithAddress",
    "SCNetworkReachabilityGetFlags",
};
inline constexpr LateLibrary::Declaration kSystemConfiguration{
    LateLibrary::Name::kSystemConfiguration, "SystemConfiguration", "the network reads as unreachable",
    kSystemConfigurationFunctions};

}  // namespace brim::mac
