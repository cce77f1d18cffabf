#include "inspect/RootedTree.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace brim::inspect {
namespace {

// The part of path below top, without leading slashes; absent when path is not under top.
std::optional<std::string> below(const std::string& path, const std::string& top) {
  std::string_view rest = path;
  if (top != "/") {
    if (rest.substr(0, top.size()) != top || (rest.size() > top.size() && rest[top.size()] != '/')) {
      return std::nullopt;
    }
    rest.remove_prefix(top.size());
  } else if (rest.empty() || rest.front() != '/') {
    return std::nullopt;
  }
  while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  return std::string(rest);
}

std::string whyNotOpened(int number) {
  switch (number) {
    case ENOENT:
      return "missing";
    case ELOOP:
      return "reached through a symbolic link: refused";
    case EXDEV:
      return "goes through \"..\" or a link that may leave the installation: refused";
    default:
      return std::strerror(number);
  }
}

bool readAll(int fd, std::string& out, std::size_t limit, off_t from) {
  char buffer[65536];
  while (out.size() <= limit) {
    const ssize_t n =
        ::pread(fd, buffer, std::min(sizeof buffer, limit + 1 - out.size()), from + static_cast<off_t>(out.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

RootedTree::RootedTree(std::string top)
    : top_(std::move(top)), topFd_(::open(top_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  while (top_.size() > 1 && top_.back() == '/') top_.pop_back();
}

UniqueFd RootedTree::openByWalk(const std::string& path, int flags) const {
  UniqueFd at(::fcntl(topFd_.get(), F_DUPFD_CLOEXEC, 0));
  std::string_view rest = path;
  while (at.valid()) {
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    const std::string name(rest.substr(0, rest.find('/')));
    rest.remove_prefix(name.size());
    const bool last = rest.find_first_not_of('/') == std::string_view::npos;
    if (name == "..") {
      errno = EXDEV;
      return UniqueFd();
    }
    if (name.empty() || name == ".") {
      if (last) return UniqueFd(::openat(at.get(), ".", flags | O_CLOEXEC));
      continue;
    }
    const int how = last ? flags : O_RDONLY | O_DIRECTORY | O_NONBLOCK;
    UniqueFd next(::openat(at.get(), name.c_str(), how | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    // A link where a folder is wanted fails as "not a folder": say what it is.
    if (!next.valid() && errno == ENOTDIR && ::fstatat(at.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(st.st_mode))
      errno = ELOOP;
    if (last || !next.valid()) return next;
    at = std::move(next);
  }
  return UniqueFd();
}

UniqueFd RootedTree::openReadOnly(const std::string& path, std::string& why, bool refuseLinks) const {
  const std::optional<std::string> rest = below(path, top_);
  if (!rest) {
    why = path + ": not under " + top_ + ": refused";
    return UniqueFd();
  }
  if (!topFd_.valid()) {
    why = top_ + ": cannot be opened as a folder";
    return UniqueFd();
  }
  // Non-blocking, so that opening a FIFO with no writer returns at once and fstat tells what it is.
  constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY;
  UniqueFd fd = refuseLinks ? openByWalk(*rest, kFlags) : openInside(*rest, kFlags);
  if (!fd.valid()) why = path + ": " + whyNotOpened(errno);
  return fd;
}

bool RootedTree::isPlainFile(const std::string& path, std::string& why) const {
  const UniqueFd fd = openReadOnly(path, why, true);
  struct stat st {};
  if (!fd.valid()) return false;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > kMaxFileSize) {
    why = path + ": not a regular file of at most 64 MiB: refused";
    return false;
  }
  return true;
}

std::optional<struct stat> RootedTree::linkStatus(const std::string& path, std::string& why) const {
  const size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const UniqueFd folder = openReadOnly(slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash), why);
  struct stat st {};
  if (!folder.valid()) return std::nullopt;
  if (name.empty() || name == ".." || ::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    why = path + ": " + whyNotOpened(name == ".." ? EXDEV : errno);
    return std::nullopt;
  }
  return st;
}

UniqueFd RootedTree::openFolder(const std::string& path, std::string& why) const {
  const std::optional<std::string> rest = below(path, top_);
  if (!rest || !topFd_.valid()) return openReadOnly(path, why);  // sets the why
  UniqueFd fd = openByWalk(*rest, O_RDONLY | O_DIRECTORY);
  if (!fd.valid()) why = path + ": " + whyNotOpened(errno);
  return fd;
}

std::optional<std::string> RootedTree::readFileAt(int dir, const std::string& name, struct stat& st, std::string& why) {
  why.clear();
  const UniqueFd fd(::openat(dir, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) {
    if (errno != ENOENT) why = name + ": " + whyNotOpened(errno);
    return std::nullopt;
  }
  std::string text;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > kMaxFileSize ||
      !readAll(fd.get(), text, kMaxFileSize, 0) || text.size() > kMaxFileSize) {
    why = name + ": not a regular file of at most 64 MiB that can be read: refused";
    return std::nullopt;
  }
  return text;
}

UniqueFd RootedTree::openRegular(const std::string& path, struct stat& st, std::string& why) const {
  UniqueFd fd = openReadOnly(path, why);
  if (fd.valid() && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) {
    why = path + ": not a regular file: refused";
    return UniqueFd();
  }
  return fd;
}

std::optional<struct stat> RootedTree::status(const std::string& path, std::string& why) const {
  const UniqueFd fd = openReadOnly(path, why);
  struct stat st {};
  if (!fd.valid()) return std::nullopt;
  if (::fstat(fd.get(), &st) != 0) {
    why = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  return st;
}

std::optional<std::string> RootedTree::readTail(const std::string& path, std::size_t bytes, std::string& why) const {
  struct stat st {};
  const UniqueFd fd = openRegular(path, st, why);
  if (!fd.valid()) return std::nullopt;
  const std::size_t size = static_cast<std::size_t>(st.st_size);
  const std::size_t limit = std::min(bytes, kMaxFileSize);
  const off_t from = static_cast<off_t>(size > limit ? size - limit : 0);
  std::string text;
  if (!readAll(fd.get(), text, limit - 1, from)) {
    why = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (from > 0) text.erase(0, text.find('\n') == std::string::npos ? text.size() : text.find('\n') + 1);
  return text;
}

std::optional<std::string> RootedTree::readFile(const std::string& path, std::string& why) const {
  struct stat st {};
  const UniqueFd fd = openRegular(path, st, why);
  if (!fd.valid()) return std::nullopt;
  std::string text;
  const bool tooLarge = static_cast<std::size_t>(st.st_size) > kMaxFileSize;
  if (!tooLarge && !readAll(fd.get(), text, kMaxFileSize, 0)) {
    why = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  // A file that grows while it is read is as large as it became.
  if (tooLarge || text.size() > kMaxFileSize) {
    why = path + ": larger than 64 MiB, which no installation file comes near: refused";
    return std::nullopt;
  }
  return text;
}

}  // namespace brim::inspect
