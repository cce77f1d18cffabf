#pragma once
// Can the machine reach the Internet at all right now? Asked once, after a
// direct report was posted, to decide whether it must also be saved as a file.
#include <cstdint>
#include <memory>
#include <optional>

namespace brim {

class Reachability {
 public:
  enum NetworkStatus : int { NotReachable = 0, ReachableViaWWAN = 1, ReachableViaWiFi = 2 };

  // A target for the IPv4 wildcard address 0.0.0.0.
  static std::unique_ptr<Reachability> reachabilityForInternetConnection();
  // A target for an IPv4 address in host byte order.
  static std::unique_ptr<Reachability> reachabilityWithAddress(uint32_t ipv4Address);

  explicit Reachability(uint32_t ipv4Address) : address_(ipv4Address) {}

  static bool isReachableWithFlags(uint32_t flags);
  bool isReachable() const;
  bool isReachableViaWiFi() const;
  bool isReachableViaWWAN() const { return false; }
  NetworkStatus currentReachabilityStatus() const;

  bool reachableOnWWAN = true;

 private:
  std::optional<uint32_t> currentFlags() const;
  uint32_t address_;
};

}  // namespace brim
