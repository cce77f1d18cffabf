// The text form of the network report, read the way the machine-details report
// reads it: two grep/awk pipelines that must find the primary service's address.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "Readers.h"
#include "RecordedTrees.h"
#include "ScratchDir.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {
namespace fs = std::filesystem;

std::string shellOutput(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[512];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  ::pclose(pipe);
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

struct Found {
  std::string ethernet, wifi;
};

// The machine-details report's two pipelines, with the report text as their input.
Found addressesFound(const profiler::SystemRoot& root) {
  const ScratchDir scratch("brim_network_text");
  const std::string file = scratch.at("network.txt");
  writeFile(file, profiler::networkText(root));
  Found found{shellOutput("cat " + file + " | grep -A3 Ethernet | awk '/IPv4 Address/ { print $3 }'"),
              shellOutput("cat " + file + " | grep -A6 Wi-Fi | awk '/IPv4 Address/ { print $3 }'")};
  return found;
}

TEST(NetworkText, TheWiredPrimaryOfTheVirtualMachineIsFoundByTheEthernetPipeline) {
  const Found found = addressesFound(recordedRoot("vm"));
  EXPECT_EQ(found.ethernet, "192.0.2.2");
}

TEST(NetworkText, AWirelessPrimaryIsFoundByTheWiFiPipelineAndTheOtherCardIsNot) {
  // The laptop's wired card has a lab address but no default route.
  const Found found = addressesFound(recordedRoot("laptop"));
  EXPECT_EQ(found.ethernet, "");
  EXPECT_EQ(found.wifi, "192.168.1.23");
}

TEST(NetworkText, WhenTheWiredCardCarriesTheDefaultRouteOnlyItsAddressIsFound) {
  const ScratchDir scratch("brim_laptop_wired");
  const fs::path copy = scratch.path() / "laptop";
  fs::copy(treePath("laptop"), copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  writeFile((copy / "proc/net/route").string(),
            "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
            "enp0s31f6\t00000000\t0101010A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
            "wlp2s0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
            "enp0s31f6\t0001010A\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
            "wlp2s0\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n");
  const Found found = addressesFound(recordedRoot("laptop", copy.string()));
  EXPECT_EQ(found.ethernet, "10.1.1.5");
  EXPECT_EQ(found.wifi, "");
}

TEST(NetworkText, AMachineWithoutAddressesGivesBothPipelinesNothing) {
  const ScratchDir empty("brim_no_network");
  const Found found = addressesFound(recordedRoot("vm", empty.str()));
  EXPECT_EQ(found.ethernet, "");
  EXPECT_EQ(found.wifi, "");
}

}  // namespace
}  // namespace brim::test
