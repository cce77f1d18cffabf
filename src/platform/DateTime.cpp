#include "platform/DateTime.h"

#include <ctime>

namespace brim {
namespace {

std::optional<DateTime::TimePoint>& pinned() {
  static std::optional<DateTime::TimePoint> value;
  return value;
}

void appendPadded(std::string& out, long value, size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) out.append(width - digits.size(), '0');
  out += digits;
}

// One run of a pattern letter ("yyyy", "MM", "a"): the field it stands for,
// a number padded with zeros to the run's length ("yy": the last two digits of
// the year). Letters without a meaning here are written as they stand.
void appendField(std::string& out, char letter, size_t count, const std::tm& t) {
  const int year = t.tm_year + 1900;
  switch (letter) {
    case 'y':
      return appendPadded(out, count == 2 ? year % 100 : year, count);
    case 'M':
      return appendPadded(out, t.tm_mon + 1, count);
    case 'd':
      return appendPadded(out, t.tm_mday, count);
    case 'H':
      return appendPadded(out, t.tm_hour, count);
    case 'h':
      return appendPadded(out, t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12, count);
    case 'm':
      return appendPadded(out, t.tm_min, count);
    case 's':
      return appendPadded(out, t.tm_sec, count);
    case 'a':
      out += t.tm_hour < 12 ? "AM" : "PM";
      return;
    default:
      out.append(count, letter);
      return;
  }
}

bool isPatternLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::string DateTime::dateStringOf(TimePoint date, std::string_view pattern) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(date.time_since_epoch()).count();
  const auto clock = static_cast<std::time_t>(seconds);
  // The zone may have been changed since the last call; the process's zone is
  // what the documents are stamped with.
  ::tzset();
  std::tm t{};
  if (!::localtime_r(&clock, &t)) return {};

  std::string out;
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '\'') {
      // 'text' is written as it stands; '' is one quotation mark.
      if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
        out += '\'';
        i += 2;
        continue;
      }
      ++i;
      while (i < pattern.size()) {
        if (pattern[i] == '\'') {
          if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
            out += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        out += pattern[i++];
      }
      continue;
    }
    if (!isPatternLetter(c)) {
      out += c;
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    appendField(out, c, run, t);
    i += run;
  }
  return out;
}

std::string DateTime::dateInLocalTimeFor(TimePoint date) { return dateStringOf(date, "yyyy-MM-dd HH:mm:ss"); }
DateTime::TimePoint DateTime::now() { return pinned() ? *pinned() : std::chrono::system_clock::now(); }
void DateTime::setNowForTesting(std::optional<TimePoint> fixed) { pinned() = fixed; }

}  // namespace brim
