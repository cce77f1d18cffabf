#include "inventory/CategoryShapes.h"

#include <initializer_list>

#include "inventory/CategoryTables.h"
#include "inventory/collectData.h"

namespace brim {
using namespace tables;

namespace {
template <class R>
std::vector<std::string_view> tagsOf(std::initializer_list<const Fields<R>*> lists) {
  std::vector<std::string_view> tags;
  for (const Fields<R>* table : lists) {
    for (const Field<R>& field : *table) tags.push_back(field.tag);
  }
  return tags;
}

template <class R>
CategoryShape shapeOf(XMLTree (collectData::*collect)(), const Category<R>& category,
                      CategoryShape::Records records = CategoryShape::Records::Numbered) {
  return {collect, category.name, category.dataType, records, tagsOf<R>({&category.fields}), {}, {}};
}

template <class S>
CategoryShape withSubRecords(CategoryShape shape, std::string_view element, const Fields<S>& fields) {
  shape.subRecord = element;
  shape.subFields = tagsOf<S>({&fields});
  return shape;
}
}  // namespace

const std::vector<CategoryShape>& categoryShapes() {
  using Records = CategoryShape::Records;
  static const std::vector<CategoryShape> shapes = [] {
    std::vector<CategoryShape> all;
    CategoryShape memoryShape = shapeOf(&collectData::getMemoryInfo, memory::kCategory, Records::Grouped);
    memoryShape.fields = tagsOf<MemoryInfo>({&memory::kGroupFields, &memory::kCategory.fields});
    all.push_back(memoryShape);
    all.push_back(shapeOf(&collectData::getHardwareInfo, hardware::kCategory));
    all.push_back(shapeOf(&collectData::getFirewallInfo, firewall::kCategory));
    all.push_back(shapeOf(&collectData::getEthernetInfo, ethernet::kCategory));
    CategoryShape diskShape = shapeOf(&collectData::getDiskInfo, disk::kCategory);
    diskShape.fields = tagsOf<DiskInfo>({&disk::kCategory.fields, &disk::kDriveFields});
    all.push_back(withSubRecords(diskShape, "vol", disk::kVolumeFields));
    all.push_back(shapeOf(&collectData::getSharedVolInfo, sharedvol::kCategory));
    all.push_back(shapeOf(&collectData::getCardreaderInfo, cardreader::kCategory));
    all.push_back(shapeOf(&collectData::getSelfTestInfo, selftest::kCategory));
    all.push_back(shapeOf(&collectData::getDiscBurninginfo, discburning::kCategory));
    all.push_back(shapeOf(&collectData::getPowerInfo, power::kCategory, Records::Single));
    all.push_back(shapeOf(&collectData::getHWConfigInfo, ups::kCategory, Records::Single));
    all.push_back(shapeOf(&collectData::getOSInfo, thunderbolt::kCategory));
    all.push_back(withSubRecords(shapeOf(&collectData::getGraphicInfo, graphics::kCategory), "dispconn",
                                 graphics::kDisplayFields));
    all.push_back(shapeOf(&collectData::getBlueToothHardWareInfo, blthhardware::kCategory));
    all.push_back(shapeOf(&collectData::getBlueToothServices, blthservices::kCategory));
    all.push_back(shapeOf(&collectData::getBlueToothDevices, blthdevices::kCategory));
    all.push_back(shapeOf(&collectData::getNetwokInfo, network::kCategory));
    all.push_back(withSubRecords(shapeOf(&collectData::getLocationsInfo, locations::kCategory, Records::Chained),
                                 "services", locations::kServiceFields));
    // The software document.
    CategoryShape systemShape = shapeOf(&collectData::getSystemInfo, software::kCategory);
    systemShape.fields.push_back(SystemInfo::systemTimeZone);  // added after the fields by getSystemInfo
    all.push_back(systemShape);
    all.push_back(shapeOf(&collectData::getApplicationInfo, applications::kCategory));
    all.push_back(withSubRecords(shapeOf(&collectData::getUSBInfo, usb::kCategory), "usbdevices", usb::kDeviceFields));
    return all;
  }();
  return shapes;
}

}  // namespace brim
