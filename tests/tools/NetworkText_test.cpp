// The text form of the network report, read the way the machine-details report
// reads it: two grep/awk pipelines that must find the primary service's address.
#include <gtest/gtest.h>

#include <filesystem>

#include "Readers.h"
#include "RecordedTrees.h"
#include "ScratchDir.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {
namespace fs = std::filesystem;

// What the machine-details report's Ethernet and Wi-Fi pipelines print.
std::pair<std::string, std::string> addressesFound(const profiler::SystemRoot& root) {
  const std::string text = profiler::networkText(root);
  return {shellOutput("grep -A3 Ethernet | awk '/IPv4 Address/ { print $3 }'", text),
          shellOutput("grep -A6 Wi-Fi | awk '/IPv4 Address/ { print $3 }'", text)};
}

TEST(NetworkText, OnlyThePrimaryServicesAddressIsFound) {
  // The laptop's wired card has a lab address but no default route; in the
  // copy it carries the default route.
  const ScratchDir scratch("brim_network_text");
  const fs::path wired = scratch.path() / "laptop", empty = scratch.path() / "empty";
  fs::copy(treePath("laptop"), wired, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  writeFile((wired / "proc/net/route").string(),
            "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
            "enp0s31f6\t00000000\t0101010A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
            "wlp2s0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
            "enp0s31f6\t0001010A\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
            "wlp2s0\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n");
  fs::create_directories(empty);
  using Found = std::pair<std::string, std::string>;
  EXPECT_EQ(addressesFound(recordedRoot("vm")), Found("192.0.2.2\n", ""));
  EXPECT_EQ(addressesFound(recordedRoot("laptop")), Found("", "192.168.1.23\n"));
  EXPECT_EQ(addressesFound(recordedRoot("laptop", wired.string())), Found("10.1.1.5\n", ""));
  EXPECT_EQ(addressesFound(recordedRoot("vm", empty.string())), Found("", ""));
}

}  // namespace
}  // namespace brim::test
