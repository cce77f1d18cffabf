#pragma once
// Where the reachability flags come from: each system's source gives the
// flags of its network reachability service (macOS asks SystemConfiguration,
// Linux reads the IPv4 routing table), and Reachability alone interprets them,
// so tests can feed it any flags through setOverrideForTesting.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace brim {

class ReachabilitySource {
 public:
  static constexpr uint32_t kTransientConnection = 1;
  static constexpr uint32_t kReachable = 2;
  static constexpr uint32_t kConnectionRequired = 4;

  // The current flags for an IPv4 address (host byte order); absent when the
  // platform cannot tell.
  static std::optional<uint32_t> flagsForAddress(uint32_t ipv4Address);

  // The file this system's source reads the flags from, as this process sees
  // it (Linux's routing table); absent where a system service answers.
  static std::optional<std::string> sourceFile();

  // Tests force the flags (absent override: the platform decides).
  using Override = std::function<std::optional<uint32_t>(uint32_t)>;
  static void setOverrideForTesting(Override source);

 private:
  // This system's source (platform/linux|macos/ReachabilitySource.cpp).
  static std::optional<uint32_t> systemFlagsForAddress(uint32_t ipv4Address);
};

}  // namespace brim
