#include "inventory/InventoryCategories.h"

#include <vector>

#include "inventory/CategoryTables.h"
#include "inventory/collectData.h"

namespace brim {
namespace {

template <class R>
InventoryCategory entry(const Category<R>& category, XMLTree (collectData::*collect)()) {
  return {category.name, category.dataType, collect};
}

// The hardware categories come first; kHardwareCount of them.
constexpr std::size_t kHardwareCount = 18;

const std::vector<InventoryCategory>& all() {
  using namespace tables;
  static const std::vector<InventoryCategory> categories{
      entry(memory::kCategory, &collectData::getMemoryInfo),
      entry(hardware::kCategory, &collectData::getHardwareInfo),
      entry(firewall::kCategory, &collectData::getFirewallInfo),
      entry(ethernet::kCategory, &collectData::getEthernetInfo),
      entry(disk::kCategory, &collectData::getDiskInfo),
      entry(sharedvol::kCategory, &collectData::getSharedVolInfo),
      entry(cardreader::kCategory, &collectData::getCardreaderInfo),
      entry(selftest::kCategory, &collectData::getSelfTestInfo),
      entry(discburning::kCategory, &collectData::getDiscBurninginfo),
      entry(power::kCategory, &collectData::getPowerInfo),
      entry(ups::kCategory, &collectData::getHWConfigInfo),
      entry(thunderbolt::kCategory, &collectData::getOSInfo),
      entry(graphics::kCategory, &collectData::getGraphicInfo),
      entry(blthhardware::kCategory, &collectData::getBlueToothHardWareInfo),
      entry(blthservices::kCategory, &collectData::getBlueToothServices),
      entry(blthdevices::kCategory, &collectData::getBlueToothDevices),
      entry(network::kCategory, &collectData::getNetwokInfo),
      entry(locations::kCategory, &collectData::getLocationsInfo),
      // The software document.
      entry(software::kCategory, &collectData::getSystemInfo),
      entry(applications::kCategory, &collectData::getApplicationInfo),
      entry(usb::kCategory, &collectData::getUSBInfo),
  };
  return categories;
}

}  // namespace

std::span<const InventoryCategory> inventoryCategories() { return all(); }
std::span<const InventoryCategory> hardwareCategories() { return inventoryCategories().first(kHardwareCount); }
std::span<const InventoryCategory> softwareCategories() { return inventoryCategories().subspan(kHardwareCount); }

}  // namespace brim
