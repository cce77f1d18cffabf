#pragma once
// The system time zone as the inventory reports it: its identifier in the
// zone database, and the platform's description of a fixed offset from GMT.
#include <optional>
#include <string>
#include <string_view>

#include "platform/DateTime.h"

namespace brim {

class SystemTimeZone {
 public:
  // The zone database name the system is set to ("Europe/Berlin"): the target
  // of the local-time link below its "zoneinfo/" folder, else, on Linux, the
  // zone name file; "UTC" when none names a zone.
  static std::string identifier();
  // The local offset from GMT at the given time, in seconds east.
  static long secondsFromGMT(DateTime::TimePoint when);
  // The description of the zone that stays at that offset all year:
  //   0 -> "GMT (GMT) offset 0";  3600 -> "GMT+0100 (GMT+1) offset 3600";
  //   -34200 -> "GMT-0930 (GMT-9:30) offset -34200".
  static std::string fixedOffsetDescription(long seconds);

 private:
  static std::optional<std::string> nameFromLocalTimeLink();
  // Letters, digits and "/_+-", no empty or dot component.
  static bool isZoneName(std::string_view name);
};

}  // namespace brim
