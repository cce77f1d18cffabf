#include "platform/ReachabilitySource.h"

#include <utility>

namespace brim {
namespace {

ReachabilitySource::Override& forced() {
  static ReachabilitySource::Override source;
  return source;
}

}  // namespace

std::optional<uint32_t> ReachabilitySource::flagsForAddress(uint32_t ipv4Address) {
  if (forced()) return forced()(ipv4Address);
  return systemFlagsForAddress(ipv4Address);
}

void ReachabilitySource::setOverrideForTesting(Override source) { forced() = std::move(source); }

}  // namespace brim
