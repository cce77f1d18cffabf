#pragma once
// Facts about the devices behind /sys entries: the PCI or USB device a block
// or network device hangs off, its ids, its driver, and names from pci.ids.
#include <cstdint>
#include <optional>
#include <string>

#include "SystemRoot.h"

namespace profiler {

struct PciDevice {
  std::string path;  // machine path of the device directory under /sys/devices
  std::string slot;  // "0000:00:1f.2"
  std::optional<uint64_t> vendor, device, subVendor, subDevice, revision, classCode;
  std::optional<std::string> driver;                  // "ahci"
  std::optional<std::string> linkWidth;               // "x4"
  std::optional<std::string> vendorName, deviceName;  // from pci.ids when installed
};

// The nearest PCI device at or above a machine path (symbolic links followed).
std::optional<PciDevice> pciDeviceAbove(const SystemRoot& root, const std::string& machinePath);
// The nearest USB device (a directory with idVendor) at or above a machine path.
std::optional<std::string> usbDeviceAbove(const SystemRoot& root, const std::string& machinePath);
// "Intel Corporation 6 Series/C200 Series Chipset Family SATA AHCI Controller", or the
// driver name, or "PCI device 8086:1c03" when neither is known.
std::string displayName(const PciDevice& pci);
// The vendor's name from pci.ids, else from a few well-known ids, else absent.
std::optional<std::string> vendorName(const PciDevice& pci);
// Whether a radio's rfkill switches block it; absent when it has none.
std::optional<bool> radioBlocked(const SystemRoot& root, const std::string& machineDir);
// Replaces "/" so that the text can be a path component.
std::string withoutSlashes(std::string text);

}  // namespace profiler
