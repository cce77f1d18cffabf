// System software overview and installed packages.
#include <fstream>
#include <map>
#include <sstream>

#include "Mounts.h"
#include "Readers.h"

namespace profiler {

namespace {

std::optional<std::string> userName(const SystemRoot& root) {
  const std::string uid = std::to_string(root.effectiveUser());
  for (const auto& line : root.lines("/etc/passwd")) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ':');) fields.push_back(field);
    if (fields.size() < 5 || fields[2] != uid) continue;
    std::string full = fields[4].substr(0, fields[4].find(','));
    return (full.empty() ? fields[0] : full) + " (" + fields[0] + ")";
  }
  return std::nullopt;
}

std::optional<std::string> uptime(const SystemRoot& root) {
  auto text = root.read("/proc/uptime");
  if (!text) return std::nullopt;
  const long long seconds = std::atoll(text->c_str());
  return "up " + std::to_string(seconds / 86400) + ":" + std::to_string(seconds / 3600 % 24) + ":" +
         std::to_string(seconds / 60 % 60) + ":" + std::to_string(seconds % 60);
}

std::optional<std::string> bootVolume(const SystemRoot& root) {
  for (const auto& mount : mounts(root)) {
    if (mount.mountPoint != "/") continue;
    const auto udev = udevProperties(root, mount.device);
    if (auto label = udev.find("ID_FS_LABEL"); label != udev.end() && !label->second.empty()) return label->second;
    return mount.source.substr(mount.source.rfind('/') + 1);
  }
  return std::nullopt;
}

}  // namespace

Node readSoftware(const SystemRoot& root) {
  auto release = root.lines("/etc/os-release");
  if (release.empty()) release = root.lines("/usr/lib/os-release");
  auto pretty = valueOf(release, "PRETTY_NAME", '=');
  if (!pretty) pretty = valueOf(release, "NAME", '=');
  const auto type = root.read("/proc/sys/kernel/ostype");
  const auto kernel = root.read("/proc/sys/kernel/osrelease");
  auto host = root.read("/proc/sys/kernel/hostname");
  if (host) host = host->substr(0, host->find('.'));
  const std::string commandLine = " " + root.read("/proc/cmdline").value_or("") + " ";
  bool safe = false;
  for (const char* word : {" single ", " rescue ", " emergency ", " S ", " systemd.unit=rescue.target "})
    if (commandLine.find(word) != std::string::npos) safe = true;
  const auto arch = root.machineArch();

  Dict overview;
  overview.set("_name", "os_overview")
      .set("os_version", pretty)
      .set("kernel_version", type && kernel ? std::optional<std::string>(*type + " " + *kernel) : kernel)
      .set("boot_volume", bootVolume(root))
      .set("boot_mode",
           root.exists("/proc/cmdline") ? std::optional<std::string>(safe ? "safe_boot" : "normal_boot") : std::nullopt)
      .set("local_host_name", host)
      .set("user_name", userName(root))
      .set("uptime", uptime(root));
  if (arch) overview.set("64bit_kernel_and_kexts", yesNo(arch->find("64") != std::string::npos));
  List items;
  items.append(std::move(overview));
  return items.take();
}

Node readApplications(const SystemRoot& root) {
  List items;
  // Read line by line: the status database runs to megabytes on a desktop.
  std::ifstream in(root.hostPath("/var/lib/dpkg/status"));
  if (!in) return items.take();
  std::map<std::string, std::string> fields;
  std::string lastKey;
  auto flush = [&] {
    if (fields["Status"] == "install ok installed" && !fields["Package"].empty()) {
      const std::string& package = fields["Package"];
      const std::string& arch = fields["Architecture"];
      std::string list = "/var/lib/dpkg/info/" + package + ".list";
      if (!root.exists(list)) list = "/var/lib/dpkg/info/" + package + ":" + arch + ".list";
      items.append(
          Dict()
              .set("_name", package)
              .set("version", fields["Version"])
              .setDate("lastModified", root.modificationTime(list))
              .set("runtime_environment", arch.empty() ? std::nullopt : std::optional<std::string>("arch_" + arch))
              .set("has64BitIntelCode", yesNo(arch == "amd64"))
              .set("info", fields["Description"])
              .set("app_store", "no")
              .set("path", root.exists(list) ? std::optional<std::string>(list) : std::nullopt));
    }
    fields.clear();
    lastKey.clear();
  };
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) {
      flush();
      continue;
    }
    if (line[0] == ' ' || line[0] == '\t') continue;  // continuation of a long field
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    lastKey = line.substr(0, colon);
    fields[lastKey] = trim(line.substr(colon + 1));
  }
  flush();
  return items.take();
}

}  // namespace profiler
