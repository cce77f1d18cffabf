#pragma once
// Date formatting with Unicode date patterns (yyyy MM dd HH mm ss and literal
// text) in the system time zone.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace brim {

class DateTime {
 public:
  using TimePoint = std::chrono::system_clock::time_point;

  static std::string dateStringOf(TimePoint date, std::string_view pattern);
  // "yyyy-MM-dd HH:mm:ss" in the system time zone.
  static std::string dateInLocalTimeFor(TimePoint date);

  // The current time; tests may pin it.
  static TimePoint now();
  static void setNowForTesting(std::optional<TimePoint> fixed);
};

}  // namespace brim
