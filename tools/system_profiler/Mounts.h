#pragma once
// Mounted file systems and the udev database: what is mounted where, and the
// labels, partition types and serials udev recorded for block devices.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "SystemRoot.h"

namespace profiler {

struct Mount {
  std::string device;      // "254:0"
  std::string source;      // "/dev/vda"
  std::string mountPoint;  // "/"
  std::string fsType;      // "ext4"
  bool writable = false;
};

std::vector<Mount> mounts(const SystemRoot& root);
// The first mount of a block device given as "major:minor" or by its /dev name.
std::optional<Mount> mountOf(const std::vector<Mount>& all, const std::string& devNumber, const std::string& name);
// "E:KEY=value" properties of /run/udev/data/b<major>:<minor>.
std::map<std::string, std::string> udevProperties(const SystemRoot& root, const std::string& devNumber);

}  // namespace profiler
