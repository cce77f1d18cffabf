#include "net/Reachability.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ReachabilitySource.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

// The flags as a system's reachability service gives them (macOS: SystemConfiguration's own bit
// values), through the seam every system's source feeds: only Reachability interprets them.
TEST(ForcedFlags, StatusFollowsTheThreeFlagBits) {
  for (const auto& c : fixtureCases("net/forced-flags.cases", 2)) {
    const std::optional<uint32_t> flags = c[0] == "(none)" ? std::nullopt : std::optional<uint32_t>(std::stoul(c[0]));
    ReachabilitySource::setOverrideForTesting([flags](uint32_t) { return flags; });
    EXPECT_EQ(Reachability::reachabilityForInternetConnection()->currentReachabilityStatus(),
              c[1] == "NotReachable" ? Reachability::NotReachable : Reachability::ReachableViaWiFi)
        << c[0];
  }
  ReachabilitySource::setOverrideForTesting(nullptr);
}

// The route the kernel would take to an address decides: one that is up
// reaches it, unless it is a reject route ("ip route add unreachable default",
// flags 0x0201). 10.0.2.15 lies inside the local route 10.0.2.0/24.
TEST(RouteTable, TheRouteTheKernelWouldTakeDecides) {
  BRIM_LINUX_ONLY("the routing table is the Linux source of reachability");
  Sandbox sandbox;
  SandboxRoot root{sandbox};
  const auto route = [](const char* iface, const char* flags, int metric) {
    return std::string(iface) + "\t00000000\t0102000A\t" + flags + "\t0\t0\t" + std::to_string(metric) +
           "\t00000000\t0\t0\t0\n";
  };
  const std::string local = routeTable();
  const uint32_t R = ReachabilitySource::kReachable;
  const struct {
    std::string routes;
    uint32_t wildcard, local;  // flags for 0.0.0.0 and 10.0.2.15
  } cases[] = {
      {local + route("eth0", "0003", 0), R, R},
      {local, 0, R},
      {local + route("eth0", "0002", 0) + "garbage line\n", 0, R},  // default route down
      {local + route("*", "0201", 0), 0, R},
      {local + route("eth0", "0003", 100) + route("*", "0201", 0), 0, R},  // the reject route is cheaper
      {local + route("eth0", "0003", 0) + route("*", "0201", 5), R, R},
  };
  for (const auto& c : cases) {
    writeFile(sandbox.root() + "/proc/net/route", c.routes);
    EXPECT_EQ(ReachabilitySource::flagsForAddress(0), c.wildcard) << c.routes;
    EXPECT_EQ(ReachabilitySource::flagsForAddress(0x0A00020F), c.local) << c.routes;
    EXPECT_EQ(Reachability::reachabilityForInternetConnection()->currentReachabilityStatus(),
              c.wildcard ? Reachability::ReachableViaWiFi : Reachability::NotReachable);
  }
  std::filesystem::remove(sandbox.root() + "/proc/net/route");
  EXPECT_EQ(ReachabilitySource::flagsForAddress(0), std::nullopt);
}

}  // namespace
}  // namespace brim::test
