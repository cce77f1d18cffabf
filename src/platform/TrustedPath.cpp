#include "platform/TrustedPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileAttributes.h"
#include "platform/Paths.h"

namespace brim {
namespace {

std::string modeText(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%03o", static_cast<unsigned>(mode & 07777));
  return text;
}

std::string isLink(const std::string& at) {
  return at + " is a symbolic link: replace it by the folder or file it names";
}

// Why the thing at (its status st, open as fd or not open: -1) fails the rule, or absent.
std::optional<std::string> whyStatusUntrusted(const std::string& at, const struct stat& st, int fd) {
  if (S_ISLNK(st.st_mode)) return isLink(at);
  // The shipped tool works only as root; a test's process trusts its own user as well.
  if (st.st_uid != 0 && st.st_uid != ::geteuid()) {
    return at + " belongs to user " + std::to_string(st.st_uid) + ", not root: chown root " + at;
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return at + " (mode " + modeText(st.st_mode) + ") may be changed by users other than root: chmod go-w " + at;
  }
  if (FileAttributes::othersMayModify(fd, at)) {
    return at + " has an access control list that lets users other than root change it: chmod -N " + at;
  }
  return std::nullopt;
}

// Why one component fails the rule, or absent.
std::optional<std::string> whyComponentUntrusted(const std::string& at) {
  struct stat st {};
  if (::lstat(at.c_str(), &st) != 0) return at + ": " + std::strerror(errno);
  return whyStatusUntrusted(at, st, -1);
}

bool isUnder(std::string_view path, std::string_view top) {
  if (top == "/") return true;
  return path.size() >= top.size() && path.substr(0, top.size()) == top &&
         (path.size() == top.size() || path[top.size()] == '/');
}

// Where the rule starts for path: the sandbox root when path lies under it
// (it stands for "/"), else "/".
std::string_view topFor(std::string_view path) {
  const std::string& sandbox = Paths::sandboxRoot();
  if (!sandbox.empty() && isUnder(path, sandbox)) return sandbox;
  return "/";
}

}  // namespace

std::optional<std::string> TrustedPath::whyNotPlain(std::string_view path) {
  if (path.empty() || path.front() != '/') return "\"" + std::string(path) + "\" is not an absolute path";
  if (path.find('\0') != std::string_view::npos)
    return "\"" + std::string(path.substr(0, path.find('\0'))) + "\" holds a NUL";
  for (std::string_view rest = path; !rest.empty();) {
    const std::size_t end = std::min(rest.find('/'), rest.size());
    const std::string_view name = rest.substr(0, end);
    if (name == "." || name == "..") return "\"" + std::string(path) + "\" goes through \"" + std::string(name) + "\"";
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return std::nullopt;
}

std::optional<std::string> TrustedPath::whyUntrusted(std::string_view path, std::string_view top) {
  while (top.size() > 1 && top.back() == '/') top.remove_suffix(1);
  if (auto why = whyNotPlain(path)) return why;
  if (auto why = whyNotPlain(top)) return why;
  if (!isUnder(path, top)) return "\"" + std::string(path) + "\" is not under " + std::string(top);
  std::string at(top);
  if (auto why = whyComponentUntrusted(at)) return why;
  std::string_view rest = path.substr(top == "/" ? 0 : top.size());
  while (!rest.empty()) {
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    if (rest.empty()) break;
    const std::size_t end = rest.find('/');
    const std::string_view name = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    if (at.back() != '/') at += '/';
    at += name;
    if (auto why = whyComponentUntrusted(at)) return why;
  }
  return std::nullopt;
}

std::optional<std::string> TrustedPath::whyUntrustedForRoot(std::string_view path) {
  return whyUntrusted(path, topFor(path));
}

// ---------------------------------------------------------------------------

std::optional<TrustedFolder> TrustedFolder::open(std::string_view path, std::string& why, bool make) {
  if (auto notPlain = TrustedPath::whyNotPlain(path)) {
    why = *notPlain;
    return std::nullopt;
  }
  std::string_view top = topFor(path);
  while (top.size() > 1 && top.back() == '/') top.remove_suffix(1);
  // The top is the one folder opened by its path: "/", or the sandbox root a test laid out.
  UniqueFd topFd(::open(std::string(top).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (!topFd.valid() || ::fstat(topFd.get(), &st) != 0) {
    why = std::string(top) + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (auto untrusted = whyStatusUntrusted(std::string(top), st, topFd.get())) {
    why = *untrusted;
    return std::nullopt;
  }
  std::optional<TrustedFolder> folder = TrustedFolder(std::move(topFd), std::string(top));
  std::string_view rest = path.substr(top == "/" ? 0 : top.size());
  while (folder) {
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    if (rest.empty()) break;
    const std::size_t end = std::min(rest.find('/'), rest.size());
    folder = folder->enter(rest.substr(0, end), why, make);
    rest.remove_prefix(end);
  }
  return folder;
}

std::optional<TrustedFolder> TrustedFolder::enter(std::string_view name, std::string& why, bool make) const {
  std::string at = path_ == "/" ? "/" + std::string(name) : path_ + "/" + std::string(name);
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    why = "\"" + at + "\" is not one plain folder name";
    return std::nullopt;
  }
  const std::string component(name);
  // O_NONBLOCK: a pipe planted at the name must not hold the run.
  constexpr int kEnter = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  UniqueFd fd(::openat(fd_.get(), component.c_str(), kEnter));
  bool made = false;
  if (!fd.valid() && errno == ENOENT && make) {
    made = ::mkdirat(fd_.get(), component.c_str(), 0700) == 0;
    if (!made && errno != EEXIST) {
      why = "cannot create " + at + ": " + std::strerror(errno);
      return std::nullopt;
    }
    fd.reset(::openat(fd_.get(), component.c_str(), kEnter));
  }
  struct stat st {};
  if (!fd.valid()) {
    const int error = errno;
    const bool link = ::fstatat(fd_.get(), component.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
    why = link ? isLink(at) : at + ": " + std::strerror(error);
    return std::nullopt;
  }
  // Made 0700 and opened first, then opened up for reading: nobody else can
  // ever write there, whatever the umask.
  if (::fstat(fd.get(), &st) != 0 || (made && ::fchmod(fd.get(), 0755) != 0) || (made && ::fstat(fd.get(), &st) != 0)) {
    why = at + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (auto untrusted = whyStatusUntrusted(at, st, fd.get())) {
    why = *untrusted;
    return std::nullopt;
  }
  return TrustedFolder(std::move(fd), std::move(at));
}

}  // namespace brim
