#include "platform/TrustedPath.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Paths.h"

namespace brim {
namespace {

std::string modeText(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%03o", static_cast<unsigned>(mode & 07777));
  return text;
}

// Why one component fails the rule, or absent.
std::optional<std::string> whyComponentUntrusted(const std::string& at) {
  struct stat st {};
  if (::lstat(at.c_str(), &st) != 0) return at + ": " + std::strerror(errno);
  if (S_ISLNK(st.st_mode)) return at + " is a symbolic link: replace it by the folder or file it names";
  if (st.st_uid != 0) {
    return at + " belongs to user " + std::to_string(st.st_uid) + ", not root: chown root " + at;
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return at + " (mode " + modeText(st.st_mode) + ") may be changed by users other than root: chmod go-w " + at;
  }
  return std::nullopt;
}

bool isUnder(std::string_view path, std::string_view top) {
  if (top == "/") return true;
  return path.size() >= top.size() && path.substr(0, top.size()) == top &&
         (path.size() == top.size() || path[top.size()] == '/');
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
  const std::string& sandbox = Paths::sandboxRoot();
  if (!sandbox.empty() && isUnder(path, sandbox)) return whyUntrusted(path, sandbox);
  return whyUntrusted(path, "/");
}

}  // namespace brim
