#include "net/Reachability.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Paths.h"
#include "platform/ReachabilitySource.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

class ForcedFlags : public ::testing::Test {
 protected:
  void force(std::optional<uint32_t> flags) {
    ReachabilitySource::setOverrideForTesting([flags](uint32_t) { return flags; });
  }
  void TearDown() override { ReachabilitySource::setOverrideForTesting(nullptr); }
};

TEST_F(ForcedFlags, StatusFollowsTheThreeFlagBits) {
  struct Case {
    std::optional<uint32_t> flags;
    Reachability::NetworkStatus status;
  };
  const Case cases[] = {
      {2, Reachability::ReachableViaWiFi},      // reachable only
      {2 | 4 | 1, Reachability::NotReachable},  // on-demand link not up
      {2 | 4, Reachability::ReachableViaWiFi},  // connection required, not transient
      {2 | 1, Reachability::ReachableViaWiFi},  // transient only
      {0, Reachability::NotReachable},
      {4 | 1, Reachability::NotReachable},
      {std::nullopt, Reachability::NotReachable},  // the platform could not tell
  };
  for (const Case& c : cases) {
    force(c.flags);
    EXPECT_EQ(Reachability::reachabilityForInternetConnection()->currentReachabilityStatus(), c.status)
        << (c.flags ? std::to_string(*c.flags) : "absent");
  }
}

class RouteTable : public ::testing::Test {
 protected:
  void SetUp() override { Paths::setSandboxRoot(sandbox.root()); }
  void TearDown() override { Paths::setSandboxRoot(""); }
  Sandbox sandbox;
};

TEST_F(RouteTable, ADefaultRouteThatIsUpMakesTheWildcardAddressReachable) {
  sandbox.writeRouteTable(true);
  EXPECT_EQ(ReachabilitySource::flagsForAddress(0), ReachabilitySource::kReachable);
  EXPECT_EQ(Reachability::reachabilityForInternetConnection()->currentReachabilityStatus(),
            Reachability::ReachableViaWiFi);
}

TEST_F(RouteTable, OnlyALocalSubnetLeavesTheInternetUnreachable) {
  sandbox.writeRouteTable(false);
  EXPECT_EQ(ReachabilitySource::flagsForAddress(0), 0u);
  // 10.0.2.15 lies inside the local route 10.0.2.0/24.
  EXPECT_EQ(ReachabilitySource::flagsForAddress(0x0A00020F), ReachabilitySource::kReachable);
  EXPECT_EQ(Reachability::reachabilityForInternetConnection()->currentReachabilityStatus(),
            Reachability::NotReachable);
}

// The route the kernel would take decides: a reject route ("ip route add
// unreachable default", flags 0x0201) or one that is down reaches nothing.
TEST_F(RouteTable, TheRouteTheKernelWouldTakeDecides) {
  const std::string heading = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
  const std::string local = "eth0\t0002000A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
  const auto route = [](const char* iface, const char* gateway, const char* flags, int metric) {
    return std::string(iface) + "\t00000000\t" + gateway + "\t" + flags + "\t0\t0\t" + std::to_string(metric) +
           "\t00000000\t0\t0\t0\n";
  };
  const std::string up = route("eth0", "0102000A", "0003", 100);
  const std::string reject = route("*", "00000000", "0201", 0);
  struct Case {
    const char* name;
    std::string routes;
    uint32_t wildcard;  // flags for 0.0.0.0
    uint32_t local;     // flags for 10.0.2.15
  };
  const uint32_t R = ReachabilitySource::kReachable;
  const Case cases[] = {
      {"default route down", local + route("eth0", "0102000A", "0002", 0) + "garbage line\n", 0, R},
      {"reject default only", local + reject, 0, R},
      {"reject default before a usable one", local + up + reject, 0, R},
      {"usable default before a reject one",
       local + route("eth0", "0102000A", "0003", 0) + route("*", "00000000", "0201", 5), R, R},
      {"reject default, no local route", reject, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(sandbox.root() + "/proc/net/route", heading + c.routes);
    EXPECT_EQ(ReachabilitySource::flagsForAddress(0), c.wildcard);
    EXPECT_EQ(ReachabilitySource::flagsForAddress(0x0A00020F), c.local);
  }
  std::filesystem::remove(sandbox.root() + "/proc/net/route");
  EXPECT_EQ(ReachabilitySource::flagsForAddress(0), std::nullopt);
}

}  // namespace
}  // namespace brim::test
