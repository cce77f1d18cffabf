#include "Registration.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/Plist.h"

namespace registration {

namespace {
namespace fs = std::filesystem;

std::optional<std::string> firstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line.empty() ? std::nullopt : std::optional<std::string>(line);
}

std::optional<std::string> firstMacAddress(const std::string& root) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(root + "/sys/class/net", ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    if (name == "lo") continue;
    auto address = firstLine(root + "/sys/class/net/" + name + "/address");
    if (address && *address != "00:00:00:00:00:00") return address;
  }
  return std::nullopt;
}

// The first eight bytes of SHA-256, as a positive number: the same machine
// always gets the same id, and ids of different machines do not collide in practice.
int64_t idFrom(const std::string& source) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const std::string input = "brim_register:" + source;
  EVP_Digest(input.data(), input.size(), digest, &length, EVP_sha256(), nullptr);
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value = (value << 8) | digest[i];
  value &= 0x7FFFFFFFFFFFFFFFull;
  return value == 0 ? 1 : static_cast<int64_t>(value);
}
}  // namespace

std::optional<std::string> hostName(const std::string& systemRoot) {
  auto name = firstLine(systemRoot + "/proc/sys/kernel/hostname");
  if (!name) name = firstLine(systemRoot + "/etc/hostname");
  if (name) *name = name->substr(0, name->find('.'));
  return name;
}

std::optional<int64_t> registrationId(const std::string& systemRoot) {
  for (const char* file : {"/etc/machine-id", "/var/lib/dbus/machine-id"})
    if (auto id = firstLine(systemRoot + file)) return idFrom(*id);
  const auto host = hostName(systemRoot);
  const auto mac = firstMacAddress(systemRoot);
  if (!host && !mac) return std::nullopt;
  return idFrom(host.value_or("") + "/" + mac.value_or(""));
}

Outcome registerMachine(const std::string& settingsPath, int64_t id, const std::string& machineName) {
  brim::Plist settings = brim::readPlistFile(settingsPath);
  if (!settings || plist_get_node_type(settings.get()) != PLIST_DICT) {
    // Never replace a settings file we cannot read: the agent's other components own it too.
    std::fprintf(stderr, "brim_register: %s is missing or not a property-list dictionary; nothing written\n",
                 settingsPath.c_str());
    return Outcome::Failed;
  }
  plist_t machineInfo = brim::plistDictItem(settings.get(), "machineinfo");
  if (machineInfo && plist_get_node_type(machineInfo) != PLIST_DICT) {
    std::fprintf(stderr, "brim_register: \"machineinfo\" is not a dictionary; nothing written\n");
    return Outcome::Failed;
  }
  if (machineInfo && brim::plistInteger(brim::plistDictItem(machineInfo, "dcregid")).value_or(0) != 0)
    return Outcome::AlreadyRegistered;
  if (!machineInfo) {
    plist_dict_set_item(settings.get(), "machineinfo", plist_new_dict());
    machineInfo = brim::plistDictItem(settings.get(), "machineinfo");
  }
  plist_dict_set_item(machineInfo, "dcregid", plist_new_uint(static_cast<uint64_t>(id)));
  plist_dict_set_item(machineInfo, "machinename", plist_new_string(machineName.c_str()));
  if (!brim::writePlistFileAtomically(settingsPath, settings.get())) {
    std::fprintf(stderr, "brim_register: could not write %s\n", settingsPath.c_str());
    return Outcome::Failed;
  }
  return Outcome::Registered;
}

}  // namespace registration
