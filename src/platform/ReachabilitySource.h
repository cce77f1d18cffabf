#pragma once
// Where the reachability flags come from. macOS asks its network reachability
// service; Linux reads the IPv4 routing table: a route that is up and covers
// the target address makes it reachable (flag 2), unless the route the kernel
// would choose is a reject route ("unreachable default"). Linux has no notion of a
// transient or on-demand connection, so flags 1 and 4 are never set here.
#include <cstdint>
#include <functional>
#include <optional>

namespace brim {

class ReachabilitySource {
 public:
  static constexpr uint32_t kTransientConnection = 1;
  static constexpr uint32_t kReachable = 2;
  static constexpr uint32_t kConnectionRequired = 4;

  // The current flags for an IPv4 address (host byte order); absent when the
  // platform cannot tell.
  static std::optional<uint32_t> flagsForAddress(uint32_t ipv4Address);

  // Tests force the flags (absent override: the platform decides).
  using Override = std::function<std::optional<uint32_t>(uint32_t)>;
  static void setOverrideForTesting(Override source);
};

}  // namespace brim
