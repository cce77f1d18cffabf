#pragma once
// The machine a profiler report describes: a root directory under which /proc,
// /sys, /etc, /run and /var are read, plus the few facts that do not live in
// files (command output, free space, the clock). Tests point it at a recorded
// tree and replace the live facts; the executable points it at "/".
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace profiler {

struct FsSpace {
  uint64_t totalBytes = 0;
  uint64_t freeBytes = 0;
};

class SystemRoot {
 public:
  explicit SystemRoot(std::string root);

  // Live facts, replaceable for recorded trees.
  std::function<std::optional<std::string>(const std::string& device)> smartHealth;  // "smartctl -H" output
  std::function<std::optional<FsSpace>(const std::string& mountPoint)> fsSpace;      // statvfs
  std::function<std::optional<std::string>()> machineArch;                           // uname -m
  std::function<uid_t()> effectiveUser;
  std::function<time_t()> now;
  std::function<std::optional<time_t>(const std::string& hostPath)> fileTime;  // stat's mtime

  const std::string& root() const { return root_; }
  // The host path of a machine path ("/proc/cpuinfo" -> "<root>/proc/cpuinfo").
  std::string hostPath(const std::string& machinePath) const;

  // A file's content with trailing white space removed; absent when unreadable.
  std::optional<std::string> read(const std::string& machinePath) const;
  // A file's raw bytes; absent when unreadable.
  std::optional<std::string> readRaw(const std::string& machinePath) const;
  std::vector<std::string> lines(const std::string& machinePath) const;
  // Names in a directory, sorted; empty when it is missing.
  std::vector<std::string> list(const std::string& machinePath) const;
  bool exists(const std::string& machinePath) const;
  // Follows symbolic links inside the tree; the machine path of the target.
  std::optional<std::string> resolve(const std::string& machinePath) const;
  // Last component of a symbolic link's target ("driver" -> "ahci").
  std::optional<std::string> linkName(const std::string& machinePath) const;
  std::optional<time_t> modificationTime(const std::string& machinePath) const;

 private:
  std::string root_;
};

// Reads "0x1af4"-style and decimal numbers; absent when the text is not a number.
std::optional<uint64_t> parseNumber(const std::string& text);
std::string trim(const std::string& text);
// "KEY=value" and "KEY: value" files.
std::optional<std::string> valueOf(const std::vector<std::string>& lines, const std::string& key, char separator);

}  // namespace profiler
