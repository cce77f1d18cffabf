#include "inventory/CategoryReaders.h"

#include <string>

#include "inventory/ProfilerValues.h"
#include "platform/CustomLogger.h"

namespace brim::readers {

plist_t firstDriveOf(plist_t controller) {
  const std::vector<plist_t> drives = elementsOf(valueAt(controller, "_items"));
  return drives.empty() ? nullptr : drives.front();
}

// The profiler lists a controller's drives under its "_items" and each
// drive's volumes under the drive's "volumes"; the documents have always
// carried a controller as one record with its first drive's details, so a
// second drive's volumes would be filed under a drive the record does not
// describe.
std::vector<plist_t> readVolumesOfFirstDrive(plist_t controller, const Sig& /*sig*/) {
  return elementsOf(valueAt(firstDriveOf(controller), "volumes"));
}

// A bus's "_items" are what is plugged into its ports, hubs and the like,
// each with its own "_items"; the documents report that second level only
// (neither the first level nor anything deeper), one count a first-level
// item.
std::vector<plist_t> readUSBDevicesBehindFirstLevel(plist_t bus, const Sig& sig) {
  std::vector<plist_t> devices;
  for (plist_t firstLevel : elementsOf(valueAt(bus, "_items"))) {
    const std::vector<plist_t> below = elementsOf(valueAt(firstLevel, "_items"));
    logAt(sig, "device count:" + std::to_string(below.size()));
    devices.insert(devices.end(), below.begin(), below.end());
  }
  return devices;
}

// The documents have always carried as the power type the name of the first
// item's second key, in the file's order, whatever that key is ("_name",
// "sppower_battery_charge_info"); the documents keep it so.
RecordValue readPowerType(plist_t settings) { return keyAt(settings, 1); }

// The documents have always carried as the wireless name the name of the
// service dictionary's second key, in the file's order, whatever that key is
// ("_name", "IPv4"), and only for a service whose wireless settings
// ("IEEE80211") hold something; the documents keep it so.
RecordValue readWirelessInterfaceName(plist_t service) {
  plist_t wireless = valueAt(service, "IEEE80211");
  const bool filled = wireless && plist_get_node_type(wireless) == PLIST_DICT && plist_dict_get_size(wireless) > 0;
  return filled ? keyAt(service, 1) : std::nullopt;
}

}  // namespace brim::readers
