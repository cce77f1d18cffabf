#include "inventory/SystemInfo.h"

#include "platform/DateTime.h"
#include "platform/SystemTimeZone.h"

namespace brim {

// The text before "offset" in the description of the current fixed offset,
// followed directly by the system zone's identifier:
// "GMT+0100 (GMT+1) Europe/Berlin".
std::string SystemInfo::timeZone() {
  std::string description = SystemTimeZone::fixedOffsetDescription(SystemTimeZone::secondsFromGMT(DateTime::now()));
  const std::size_t at = description.find("offset");
  if (at != std::string::npos) description.erase(at);
  return description + SystemTimeZone::identifier();
}

}  // namespace brim
