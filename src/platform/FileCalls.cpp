#include "platform/FileCalls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace brim::files {

bool fail(std::string& why, std::string_view what, const std::string& path, int error) {
  why = std::string(what) + " " + path + ": " + std::strerror(error);
  return false;
}

bool refuse(std::string& why, const std::string& path, std::string_view reason) {
  why = "refused " + path + ": " + std::string(reason);
  return false;
}

bool isOwnRegular(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1; }

bool writeAll(int fd, const std::string& text) {
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

UniqueFd duplicate(int fd) { return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0)); }

std::string randomSuffix() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::string suffix;
  for (int i = 0; i < 10; ++i) suffix += kLetters[device() % (sizeof kLetters - 1)];
  return suffix;
}

}  // namespace brim::files
