#include "platform/ReachabilitySource.h"

#include <arpa/inet.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/Paths.h"

namespace brim {
namespace {

constexpr unsigned kRouteUp = 0x0001;      // RTF_UP
constexpr unsigned kRouteReject = 0x0200;  // RTF_REJECT: "unreachable", "prohibit", "blackhole" routes

// /proc/net/route prints the kernel's network-order words as native hexadecimal numbers.
uint32_t swapToHost(uint32_t stored) { return ntohl(stored); }

}  // namespace

// The routing table: a route that is up and covers the address makes it
// reachable, unless the route the kernel would choose is a reject route
// ("unreachable default"). Linux has no notion of a transient or on-demand
// connection, so flags 1 and 4 are never set here.
std::optional<std::string> ReachabilitySource::sourceFile() { return Paths::fixed(Paths::kRouteTable); }

std::optional<uint32_t> ReachabilitySource::systemFlagsForAddress(uint32_t address) {
  std::ifstream table(*sourceFile());
  if (!table) return std::nullopt;
  std::string line;
  std::getline(table, line);  // heading
  // The route the kernel would take: the longest prefix, then the lowest metric.
  // A reject route that wins says the address cannot be reached.
  std::optional<std::pair<uint32_t, unsigned long>> best;  // mask, metric
  bool bestRejects = false;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string iface, destination, gateway, routeFlags, refCnt, use, metric, mask;
    if (!(fields >> iface >> destination >> gateway >> routeFlags >> refCnt >> use >> metric >> mask)) continue;
    try {
      const uint32_t dest = swapToHost(static_cast<uint32_t>(std::stoul(destination, nullptr, 16)));
      const uint32_t netmask = swapToHost(static_cast<uint32_t>(std::stoul(mask, nullptr, 16)));
      const unsigned routeBits = static_cast<unsigned>(std::stoul(routeFlags, nullptr, 16));
      const unsigned long cost = std::stoul(metric);
      if (!(routeBits & kRouteUp) || (address & netmask) != (dest & netmask)) continue;
      if (best && (netmask < best->first || (netmask == best->first && cost >= best->second))) continue;
      best = std::pair(netmask, cost);
      bestRejects = routeBits & kRouteReject;
    } catch (...) {
      continue;  // a line we cannot read says nothing
    }
  }
  const uint32_t flags = best && !bestRejects ? ReachabilitySource::kReachable : 0;
  return flags;
}

}  // namespace brim
