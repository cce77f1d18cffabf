// How a value read from the profiler becomes a record's text: the field
// conversions the category tables name.
#include <chrono>
#include <climits>
#include <cstdint>
#include <string_view>

#include "inventory/ProfilerValues.h"
#include "inventory/collectData.h"
#include "platform/DateTime.h"
#include "platform/Plist.h"

namespace brim {
namespace {

// The leading decimal integer of a text, read as a 32-bit number: leading
// blanks skipped, an optional sign, digits up to the first other character;
// out-of-range values stop at the 32-bit limits, and no digits read as 0.
int32_t leadingInt32(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r' ||
                               text[pos] == '\v' || text[pos] == '\f')) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace

RecordValue collectData::byteValue(const RecordValue& text) {
  struct Unit {
    std::string_view name;
    int shift;
  };
  static constexpr Unit kUnits[] = {{"KB", 10}, {"MB", 20}, {"GB", 30}, {"TB", 40}};
  for (const Unit& unit : kUnits) {
    // An absent text behaves as if it held every unit after the number 0.
    std::string_view number;
    if (text) {
      const std::size_t at = text->find(unit.name);
      if (at == std::string::npos) continue;
      number = std::string_view(*text).substr(0, at);
    }
    // Multiplied in 64 bits; like the agent's arithmetic, a result past the
    // range wraps rather than stopping.
    const uint64_t bytes = static_cast<uint64_t>(static_cast<int64_t>(leadingInt32(number))) << unit.shift;
    byteValueInString = std::to_string(static_cast<int64_t>(bytes));
  }
  return byteValueInString;
}

RecordValue collectData::date(plist_t value) const {
  if (!value || plist_get_node_type(value) != PLIST_DATE) return std::nullopt;
  int32_t seconds = 0;
  int32_t microseconds = 0;
  plist_get_date_val(value, &seconds, &microseconds);
  if (microseconds < 0) --seconds;  // a date before 2001 rounds down to its whole second
  const DateTime::TimePoint when{std::chrono::seconds(kPlistEpochOffset + seconds)};
  return DateTime::dateInLocalTimeFor(when);
}

RecordValue collectData::convert(plist_t value, Conversion conv) {
  switch (conv) {
    case Conversion::AsIs:
      return textOf(value);
    case Conversion::ByteValue:
      return byteValue(textOf(value));
    case Conversion::Date:
      return date(value);
    case Conversion::Joined:
      return joinedWithComma(value);
    case Conversion::FirstElement:
      return firstElementText(value);
    case Conversion::NoBlankPairs:
      return checkforExtraspace(textOf(value));
  }
  return std::nullopt;
}

RecordValue collectData::checkforExtraspace(const RecordValue& text) {
  if (!text) return std::nullopt;
  std::string result;
  result.reserve(text->size());
  for (std::size_t i = 0; i < text->size(); ++i) {
    if ((*text)[i] == ' ' && i + 1 < text->size() && (*text)[i + 1] == ' ') {
      ++i;  // the pair goes
      continue;
    }
    result += (*text)[i];
  }
  return result;
}

}  // namespace brim
