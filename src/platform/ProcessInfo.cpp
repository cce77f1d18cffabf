#include "platform/ProcessInfo.h"

#include <pwd.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace brim {

std::string ProcessInfo::userName() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &result) != 0 || !result) return {};
  return result->pw_name ? result->pw_name : "";
}

namespace {
std::optional<std::string>& nameForTesting() {
  static std::optional<std::string> value;
  return value;
}
}  // namespace

std::string ProcessInfo::processName() { return nameForTesting().value_or(platformProcessName()); }

void ProcessInfo::setProcessNameForTesting(std::optional<std::string> name) { nameForTesting() = std::move(name); }

}  // namespace brim
