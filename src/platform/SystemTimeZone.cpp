#include "platform/SystemTimeZone.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "platform/CustomLogger.h"
#include "platform/Paths.h"

namespace brim {

bool SystemTimeZone::isZoneName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name.front() == '/' || name.back() == '/') return false;
  for (char c : name) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
                       c == '_' || c == '+' || c == '-';
    if (!plain) return false;
  }
  return name.find("//") == std::string_view::npos;
}

std::optional<std::string> SystemTimeZone::nameFromLocalTimeLink() {
  const std::string link = Paths::fixed(Paths::kLocalTimeLink);
  char target[4096];
  const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
  if (length <= 0) return std::nullopt;
  const std::string_view path(target, static_cast<std::size_t>(length));
  constexpr std::string_view kZoneFolder = "zoneinfo/";
  const std::size_t at = path.rfind(kZoneFolder);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view name = path.substr(at + kZoneFolder.size());
  // Debian also links through the "posix/" and "right/" copies of the database.
  for (std::string_view copy : {"posix/", "right/"}) {
    if (name.starts_with(copy)) name.remove_prefix(copy.size());
  }
  if (!isZoneName(name)) {
    logAt(Sig::classLevel("SystemTimeZone", "identifier"), "local time link names no zone: " + std::string(path));
    return std::nullopt;
  }
  return std::string(name);
}

long SystemTimeZone::secondsFromGMT(DateTime::TimePoint when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  ::tzset();  // as for the dates of the documents: the zone may have changed since the last call
  std::tm local{};
  if (!::localtime_r(&seconds, &local)) return 0;
  return local.tm_gmtoff;
}

std::string SystemTimeZone::fixedOffsetDescription(long seconds) {
  if (seconds == 0) return "GMT (GMT) offset 0";
  const char sign = seconds < 0 ? '-' : '+';
  const long minutes = (seconds < 0 ? -seconds : seconds) / 60;
  char name[32];
  std::snprintf(name, sizeof name, "GMT%c%02ld%02ld", sign, minutes / 60, minutes % 60);
  char abbreviation[32];
  if (minutes % 60 == 0) {
    std::snprintf(abbreviation, sizeof abbreviation, "GMT%c%ld", sign, minutes / 60);
  } else {
    std::snprintf(abbreviation, sizeof abbreviation, "GMT%c%ld:%02ld", sign, minutes / 60, minutes % 60);
  }
  return std::string(name) + " (" + abbreviation + ") offset " + std::to_string(seconds);
}

}  // namespace brim
