// brim_inspect's own words: the dates it prints.
#include <gmock/gmock.h>

#include "inspect/ShownDate.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

// One moment in zones east and west of Greenwich, by POSIX rules that need no
// zone database: the wall clock moves, the offset says by how much.
TEST(ShownDate, IsIso8601LocalTimeWithItsOffset) {
  constexpr std::time_t kMoment = 1796436303;  // 2026-12-05 02:05:03 UTC
  const std::pair<const char*, const char*> kZones[] = {
      {"UTC0", "2026-12-05 02:05:03 +00:00"},        {"EST5", "2026-12-04 21:05:03 -05:00"},
      {"IST-5:30", "2026-12-05 07:35:03 +05:30"},    {"NST3:30", "2026-12-04 22:35:03 -03:30"},
      {"CHAST-12:45", "2026-12-05 14:50:03 +12:45"},
  };
  for (const auto& [zone, shown] : kZones) {
    const TimeZone tz(zone);
    EXPECT_EQ(inspect::shownDate(kMoment), shown) << zone;
  }
  const TimeZone utc("UTC0");
  EXPECT_EQ(inspect::shownDate(0), "1970-01-01 00:00:00 +00:00");
}

}  // namespace
}  // namespace brim::test
