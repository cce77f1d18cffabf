#include "platform/SystemTimeZone.h"

#include <fstream>

#include "platform/CustomLogger.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace brim {

std::string SystemTimeZone::identifier() {
  if (auto name = nameFromLocalTimeLink()) return *name;
  // Debian names the zone in a file of its own as well: a system whose
  // local-time file is a copy rather than a link has only that name.
  std::ifstream in(Paths::fixed(Paths::kTimeZoneNameFile));
  if (!in) return "UTC";
  std::string line;
  std::getline(in, line);
  const std::string name = trimWhitespaceAndNewlines(line);
  if (isZoneName(name)) return name;
  logAt(Sig::classLevel("SystemTimeZone", "identifier"), "time zone file names no zone: " + name.substr(0, 64));
  return "UTC";
}

}  // namespace brim
