#include "platform/ProcessInfo.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
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

std::string ProcessInfo::processName() {
#if defined(__APPLE__)
  return getprogname();
#else
  return program_invocation_short_name;
#endif
}

}  // namespace brim
