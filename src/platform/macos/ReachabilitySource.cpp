#include "platform/ReachabilitySource.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "platform/macos/SystemFrameworks.h"

namespace brim {

// The system's network reachability service, asked for the address: no packet
// is sent. A target the service refuses, or flags it cannot give, leave the
// answer absent, which reads as not reachable.
std::optional<std::string> ReachabilitySource::sourceFile() { return std::nullopt; }

std::optional<uint32_t> ReachabilitySource::systemFlagsForAddress(uint32_t ipv4Address) {
  const LateLibrary* configuration = LateLibrary::shared(mac::kSystemConfiguration);
  const LateLibrary* foundation = LateLibrary::shared(mac::kCoreFoundation);
  if (!configuration || !foundation) return std::nullopt;
  const auto create = configuration->function<mac::SCNetworkReachabilityCreateWithAddressFunction>(
      "SCNetworkReachabilityCreateWithAddress");
  const auto getFlags =
      configuration->function<mac::SCNetworkReachabilityGetFlagsFunction>("SCNetworkReachabilityGetFlags");
  const auto release = foundation->function<mac::CFReleaseFunction>("CFRelease");

  sockaddr_in address{};
  address.sin_len = sizeof address;
  address.sin_family = AF_INET;
  address.sin_port = 0;
  address.sin_addr.s_addr = htonl(ipv4Address);
  const mac::SCNetworkReachabilityRef target = create(nullptr, reinterpret_cast<const sockaddr*>(&address));
  if (!target) return std::nullopt;
  mac::SCNetworkReachabilityFlags flags = 0;
  const bool known = getFlags(target, &flags) != 0;
  release(target);
  if (!known) return std::nullopt;
  return flags;
}

}  // namespace brim
