#include "Devices.h"

#include <fstream>
#include <map>
#include <regex>

namespace profiler {

namespace {
bool isPciSlot(const std::string& name) {
  static const std::regex kSlot("[0-9a-fA-F]{4}:[0-9a-fA-F]{2}:[0-9a-fA-F]{2}\\.[0-7]");
  return std::regex_match(name, kSlot);
}

std::string parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

std::string lastComponent(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// pci.ids: vendor lines start in column 0, device lines with one tab.
void lookUpNames(const SystemRoot& root, PciDevice& pci) {
  if (!pci.vendor) return;
  for (const char* file : {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids"}) {
    // Streamed: the database is over a megabyte and the vendor is usually found early.
    std::ifstream in(root.hostPath(file));
    if (!in) continue;
    char vendorKey[8], deviceKey[8];
    std::snprintf(vendorKey, sizeof vendorKey, "%04llx", static_cast<unsigned long long>(*pci.vendor));
    std::snprintf(deviceKey, sizeof deviceKey, "%04llx", static_cast<unsigned long long>(pci.device.value_or(0)));
    bool inVendor = false;
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      if (line[0] != '\t') {
        if (inVendor) break;
        if (line.compare(0, 4, vendorKey) == 0 && line.size() > 6) {
          inVendor = true;
          pci.vendorName = trim(line.substr(4));
        }
      } else if (inVendor && line.size() > 7 && line[1] != '\t' && line.compare(1, 4, deviceKey) == 0) {
        pci.deviceName = trim(line.substr(5));
        break;
      }
    }
    return;
  }
}
}  // namespace

std::optional<PciDevice> pciDeviceAbove(const SystemRoot& root, const std::string& machinePath) {
  auto path = root.resolve(machinePath);
  if (!path) return std::nullopt;
  for (std::string at = *path; at.size() > 1; at = parentOf(at)) {
    const std::string name = lastComponent(at);
    if (!isPciSlot(name)) continue;
    PciDevice pci;
    pci.path = at;
    pci.slot = name;
    auto number = [&](const char* file) -> std::optional<uint64_t> {
      auto text = root.read(at + "/" + file);
      return text ? parseNumber(*text) : std::nullopt;
    };
    pci.vendor = number("vendor");
    pci.device = number("device");
    pci.subVendor = number("subsystem_vendor");
    pci.subDevice = number("subsystem_device");
    pci.revision = number("revision");
    pci.classCode = number("class");
    pci.driver = root.linkName(at + "/driver");
    if (auto width = root.read(at + "/current_link_width"); width && *width != "0") pci.linkWidth = "x" + *width;
    lookUpNames(root, pci);
    return pci;
  }
  return std::nullopt;
}

std::optional<std::string> usbDeviceAbove(const SystemRoot& root, const std::string& machinePath) {
  auto path = root.resolve(machinePath);
  if (!path) return std::nullopt;
  for (std::string at = *path; at.size() > 1; at = parentOf(at))
    if (root.exists(at + "/idVendor")) return at;
  return std::nullopt;
}

std::string displayName(const PciDevice& pci) {
  if (pci.vendorName && pci.deviceName) return *pci.vendorName + " " + *pci.deviceName;
  if (pci.driver) return *pci.driver;
  char text[64];
  std::snprintf(text, sizeof text, "PCI device %04llx:%04llx", static_cast<unsigned long long>(pci.vendor.value_or(0)),
                static_cast<unsigned long long>(pci.device.value_or(0)));
  return text;
}

std::optional<std::string> vendorName(const PciDevice& pci) {
  if (pci.vendorName) return pci.vendorName;
  static const std::map<uint64_t, const char*> kVendors = {
      {0x8086, "Intel"},   {0x1002, "ATI"},        {0x10de, "NVIDIA"}, {0x1af4, "Red Hat"}, {0x1234, "QEMU"},
      {0x15ad, "VMware"},  {0x80ee, "VirtualBox"}, {0x1a03, "ASPEED"}, {0x1022, "AMD"},     {0x14e4, "Broadcom"},
      {0x10ec, "Realtek"}, {0x144d, "Samsung"},    {0x1b4b, "Marvell"}};
  auto known = kVendors.find(pci.vendor.value_or(0));
  return known == kVendors.end() ? std::nullopt : std::optional<std::string>(known->second);
}

std::optional<bool> radioBlocked(const SystemRoot& root, const std::string& machineDir) {
  std::optional<bool> blocked;
  for (const auto& entry : root.list(machineDir)) {
    if (entry.compare(0, 6, "rfkill") != 0) continue;
    const std::string dir = machineDir + "/" + entry;
    blocked = blocked.value_or(false) || root.read(dir + "/soft").value_or("0") != "0" ||
              root.read(dir + "/hard").value_or("0") != "0";
  }
  return blocked;
}

std::string withoutSlashes(std::string text) {
  for (auto& c : text)
    if (c == '/') c = '-';
  return text;
}

}  // namespace profiler
