#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace brim {
namespace {

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

}  // namespace

bool FileSystem::exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

void FileSystem::touch(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) ::close(fd);
  ::utime(path.c_str(), nullptr);
}

void FileSystem::removeFile(const std::string& path) { ::unlink(path.c_str()); }

bool FileSystem::makeDirectories(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return !ec && std::filesystem::is_directory(path, ec);
}

bool FileSystem::makeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

void FileSystem::removeTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

bool FileSystem::writeFileAtomically(const std::string& path, const std::string& text) {
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  std::string tmpl = dir + "/.brim_write.XXXXXX";
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return false;
  bool ok = writeAll(fd, text);
  ok = (::fchmod(fd, 0644) == 0) && ok;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = std::rename(tmpl.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(tmpl.c_str());
  return ok;
}

bool FileSystem::appendToFile(const std::string& path, const std::string& text) {
  const std::string_view whole(text);
  return appendToFile(path, std::span<const std::string_view>(&whole, 1));
}

bool FileSystem::appendToFile(const std::string& path, std::span<const std::string_view> pieces) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  std::vector<iovec> parts;
  for (const std::string_view piece : pieces) {
    if (!piece.empty()) parts.push_back({const_cast<char*>(piece.data()), piece.size()});
  }
  // One writev for the whole line; only a short write (a full disk) continues with what is left.
  bool ok = true;
  size_t next = 0;
  while (ok && next < parts.size()) {
    const int count = static_cast<int>(std::min<size_t>(parts.size() - next, IOV_MAX));
    const ssize_t n = ::writev(fd, parts.data() + next, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    for (auto done = static_cast<size_t>(n); done > 0 && next < parts.size();) {
      const size_t step = std::min(done, parts[next].iov_len);
      parts[next].iov_base = static_cast<char*>(parts[next].iov_base) + step;
      parts[next].iov_len -= step;
      done -= step;
      if (parts[next].iov_len == 0) ++next;
    }
  }
  return (::close(fd) == 0) && ok;
}

std::optional<std::string> FileSystem::readFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    content.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return content;
}

}  // namespace brim
