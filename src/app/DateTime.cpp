// Placeholder.
#include "app/DateTime.h"

namespace brim {
namespace {
std::optional<DateTime::TimePoint>& pinned() {
  static std::optional<DateTime::TimePoint> value;
  return value;
}
}  // namespace

std::string DateTime::dateStringOf(TimePoint, std::string_view pattern) { return std::string(pattern); }
std::string DateTime::dateInLocalTimeFor(TimePoint date) { return dateStringOf(date, "yyyy-MM-dd HH:mm:ss"); }
DateTime::TimePoint DateTime::now() { return pinned() ? *pinned() : std::chrono::system_clock::now(); }
void DateTime::setNowForTesting(std::optional<TimePoint> fixed) { pinned() = fixed; }

}  // namespace brim
