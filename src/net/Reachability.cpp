#include "net/Reachability.h"

#include "platform/ReachabilitySource.h"

namespace brim {

std::unique_ptr<Reachability> Reachability::reachabilityForInternetConnection() { return reachabilityWithAddress(0); }

std::unique_ptr<Reachability> Reachability::reachabilityWithAddress(uint32_t ipv4Address) {
  return std::make_unique<Reachability>(ipv4Address);
}

bool Reachability::isReachableWithFlags(uint32_t flags) {
  constexpr uint32_t kTransientAndRequired =
      ReachabilitySource::kTransientConnection | ReachabilitySource::kConnectionRequired;
  return (flags & ReachabilitySource::kReachable) && (flags & kTransientAndRequired) != kTransientAndRequired;
}

std::optional<uint32_t> Reachability::currentFlags() const { return ReachabilitySource::flagsForAddress(address_); }

bool Reachability::isReachable() const {
  const auto flags = currentFlags();
  return flags && isReachableWithFlags(*flags);
}

bool Reachability::isReachableViaWiFi() const {
  const auto flags = currentFlags();
  return flags && (*flags & ReachabilitySource::kReachable);
}

Reachability::NetworkStatus Reachability::currentReachabilityStatus() const {
  return isReachable() && isReachableViaWiFi() ? ReachableViaWiFi : NotReachable;
}

}  // namespace brim
