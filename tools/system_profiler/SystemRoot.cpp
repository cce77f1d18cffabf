#include "SystemRoot.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace profiler {
namespace fs = std::filesystem;

namespace {
// "smartctl -H <device>", started directly rather than through a shell, so
// that the device name is only ever an argument. Absent when smartctl is not
// installed: a missing tool is a missing source, not an error.
std::optional<std::string> runSmartctl(const std::string& device) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const char* argv[] = {"smartctl", "-H", device.c_str(), nullptr};
  pid_t pid = -1;
  const int error = ::posix_spawnp(&pid, "smartctl", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ends[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t n = 0; error == 0 && ((n = ::read(ends[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR));) {
    if (n > 0) output.append(buffer, static_cast<size_t>(n));
  }
  ::close(ends[0]);
  if (error != 0) return std::nullopt;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return output;
}
}  // namespace

SystemRoot::SystemRoot(std::string root) : root_(std::move(root)) {
  while (!root_.empty() && root_.back() == '/') root_.pop_back();
  smartHealth = runSmartctl;
  fsSpace = [](const std::string& mountPoint) -> std::optional<FsSpace> {
    struct statvfs info {};
    if (::statvfs(mountPoint.c_str(), &info) != 0) return std::nullopt;
    return FsSpace{uint64_t(info.f_blocks) * info.f_frsize, uint64_t(info.f_bavail) * info.f_frsize};
  };
  machineArch = []() -> std::optional<std::string> {
    struct utsname names {};
    if (::uname(&names) != 0) return std::nullopt;
    return std::string(names.machine);
  };
  effectiveUser = [] { return ::geteuid(); };
  now = [] { return std::time(nullptr); };
  fileTime = [](const std::string& hostPath) -> std::optional<time_t> {
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) != 0) return std::nullopt;
    return info.st_mtime;
  };
}

std::string SystemRoot::hostPath(const std::string& machinePath) const { return root_ + machinePath; }

std::optional<std::string> SystemRoot::readRaw(const std::string& machinePath) const {
  std::ifstream in(hostPath(machinePath), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return out.str();
}

std::optional<std::string> SystemRoot::read(const std::string& machinePath) const {
  auto text = readRaw(machinePath);
  if (!text) return std::nullopt;
  while (!text->empty() && (std::isspace(static_cast<unsigned char>(text->back())) || text->back() == '\0'))
    text->pop_back();
  return text;
}

std::vector<std::string> SystemRoot::lines(const std::string& machinePath) const {
  std::vector<std::string> result;
  auto text = readRaw(machinePath);
  if (!text) return result;
  std::istringstream in(*text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

std::vector<std::string> SystemRoot::list(const std::string& machinePath) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(hostPath(machinePath), ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool SystemRoot::exists(const std::string& machinePath) const {
  std::error_code ec;
  return fs::exists(hostPath(machinePath), ec);
}

std::optional<std::string> SystemRoot::resolve(const std::string& machinePath) const {
  std::error_code ec;
  const fs::path host = fs::canonical(hostPath(machinePath), ec);
  if (ec) return std::nullopt;
  const fs::path base = root_.empty() ? fs::path("/") : fs::canonical(root_, ec);
  if (ec) return std::nullopt;
  const std::string hostText = host.string();
  const std::string baseText = base.string() == "/" ? std::string() : base.string();
  if (hostText.compare(0, baseText.size(), baseText) != 0) return std::nullopt;
  std::string inside = hostText.substr(baseText.size());
  return inside.empty() ? std::string("/") : inside;
}

std::optional<std::string> SystemRoot::linkName(const std::string& machinePath) const {
  std::error_code ec;
  const fs::path target = fs::read_symlink(hostPath(machinePath), ec);
  if (ec) return std::nullopt;
  return target.filename().string();
}

std::optional<time_t> SystemRoot::modificationTime(const std::string& machinePath) const {
  return fileTime(hostPath(machinePath));
}

std::optional<uint64_t> parseNumber(const std::string& raw) {
  const std::string text = trim(raw);
  if (text.empty()) return std::nullopt;
  try {
    size_t used = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const uint64_t value = std::stoull(text, &used, hex ? 16 : 10);
    if (used != text.size()) return std::nullopt;
    return value;
  } catch (...) {
    return std::nullopt;
  }
}

std::string trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::optional<std::string> valueOf(const std::vector<std::string>& lines, const std::string& key, char separator) {
  for (const auto& line : lines) {
    const auto at = line.find(separator);
    if (at == std::string::npos || trim(line.substr(0, at)) != key) continue;
    std::string value = trim(line.substr(at + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return std::nullopt;
}

}  // namespace profiler
