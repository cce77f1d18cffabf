#include "platform/ReachabilitySource.h"

#include <arpa/inet.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/Paths.h"

namespace brim {
namespace {

constexpr unsigned kRouteUp = 0x0001;  // RTF_UP

ReachabilitySource::Override& forced() {
  static ReachabilitySource::Override source;
  return source;
}

// /proc/net/route prints the kernel's network-order words as native hexadecimal numbers.
uint32_t swapToHost(uint32_t stored) { return ntohl(stored); }

std::optional<uint32_t> flagsFromRouteTable(uint32_t address) {
  std::ifstream table(Paths::fixed(Paths::kRouteTable));
  if (!table) return std::nullopt;
  std::string line;
  std::getline(table, line);  // heading
  uint32_t flags = 0;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string iface, destination, gateway, routeFlags, refCnt, use, metric, mask;
    if (!(fields >> iface >> destination >> gateway >> routeFlags >> refCnt >> use >> metric >> mask)) continue;
    try {
      const uint32_t dest = swapToHost(static_cast<uint32_t>(std::stoul(destination, nullptr, 16)));
      const uint32_t netmask = swapToHost(static_cast<uint32_t>(std::stoul(mask, nullptr, 16)));
      const unsigned up = static_cast<unsigned>(std::stoul(routeFlags, nullptr, 16)) & kRouteUp;
      if (up && (address & netmask) == (dest & netmask)) flags |= ReachabilitySource::kReachable;
    } catch (...) {
      continue;  // a line we cannot read says nothing
    }
  }
  return flags;
}

}  // namespace

std::optional<uint32_t> ReachabilitySource::flagsForAddress(uint32_t ipv4Address) {
  if (forced()) return forced()(ipv4Address);
  return flagsFromRouteTable(ipv4Address);
}

void ReachabilitySource::setOverrideForTesting(Override source) { forced() = std::move(source); }

}  // namespace brim
