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

TEST_F(RouteTable, ADefaultRouteThatIsDownOrAMissingTableCountsAsUnreachable) {
  writeFile(sandbox.root() + "/proc/net/route",
            "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\n"
            "eth0\t00000000\t0102000A\t0002\t0\t0\t0\t00000000\n"
            "garbage line\n");
  EXPECT_EQ(ReachabilitySource::flagsForAddress(0), 0u);
  std::filesystem::remove(sandbox.root() + "/proc/net/route");
  EXPECT_EQ(ReachabilitySource::flagsForAddress(0), std::nullopt);
}

}  // namespace
}  // namespace brim::test
