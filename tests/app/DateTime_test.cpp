#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include "support/SandboxRoot.h"

namespace brim::test {
namespace {

using namespace std::chrono;

// 4 December 2026, 20:05:03 UTC: 21:05:03 in Berlin.
constexpr DateTime::TimePoint kDecember{seconds(1796414703)};
// 1 July 2026, 06:07:08 UTC: 08:07:08 in Berlin, summer time.
constexpr DateTime::TimePoint kJuly{seconds(1782886028)};

TEST(DateTimeTest, PatternsOfTheDocumentsInTheSystemTimeZone) {
  TimeZone zone("Europe/Berlin");
  struct Case {
    DateTime::TimePoint date;
    const char* pattern;
    const char* expected;
  };
  const Case cases[] = {
      {kDecember, "MM-dd-yyyy HH:mm:ss", "12-04-2026 21:05:03"},
      {kDecember, "MM/dd/yyyy HH:mm:ss", "12/04/2026 21:05:03"},
      {kDecember, "yyyyMMddHHmmss", "20261204210503"},
      {kDecember, "yyyyMMdd", "20261204"},
      {kDecember, "MMyyyy", "122026"},
      {kJuly, "MM-dd-yyyy HH:mm:ss", "07-01-2026 08:07:08"},
      {kDecember, "M/d/yy, h:mm:ss a", "12/4/26, 9:05:03 PM"},
      {kJuly, "M/d/yy, h:mm:ss a", "7/1/26, 8:07:08 AM"},
      {kDecember, "'day' dd 'at' HH 'o''clock'", "day 04 at 21 o'clock"},
  };
  for (const Case& c : cases) EXPECT_EQ(DateTime::dateStringOf(c.date, c.pattern), c.expected) << c.pattern;
  EXPECT_EQ(DateTime::dateInLocalTimeFor(kDecember), "2026-12-04 21:05:03");
}

}  // namespace
}  // namespace brim::test
