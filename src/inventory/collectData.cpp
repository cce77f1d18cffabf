// Placeholder: every category comes out empty until the collectors land.
#include "inventory/collectData.h"

namespace brim {

collectData::collectData() = default;

XMLTree collectData::getMemoryInfo() { return XMLTree("fn"); }
XMLTree collectData::getHardwareInfo() { return XMLTree("fn"); }
XMLTree collectData::getFirewallInfo() { return XMLTree("fn"); }
XMLTree collectData::getEthernetInfo() { return XMLTree("fn"); }
XMLTree collectData::getDiskInfo() { return XMLTree("fn"); }
XMLTree collectData::getSharedVolInfo() { return XMLTree("fn"); }
XMLTree collectData::getCardreaderInfo() { return XMLTree("fn"); }
XMLTree collectData::getSelfTestInfo() { return XMLTree("fn"); }
XMLTree collectData::getDiscBurninginfo() { return XMLTree("fn"); }
XMLTree collectData::getPowerInfo() { return XMLTree("fn"); }
XMLTree collectData::getHWConfigInfo() { return XMLTree("fn"); }
XMLTree collectData::getOSInfo() { return XMLTree("fn"); }
XMLTree collectData::getGraphicInfo() { return XMLTree("fn"); }
XMLTree collectData::getBlueToothHardWareInfo() { return XMLTree("fn"); }
XMLTree collectData::getBlueToothServices() { return XMLTree("fn"); }
XMLTree collectData::getBlueToothDevices() { return XMLTree("fn"); }
XMLTree collectData::getNetwokInfo() { return XMLTree("fn"); }
XMLTree collectData::getLocationsInfo() { return XMLTree("fn"); }
XMLTree collectData::getSystemInfo() { return XMLTree("fn"); }
XMLTree collectData::getApplicationInfo() { return XMLTree("fn"); }
XMLTree collectData::getUSBInfo() { return XMLTree("fn"); }

}  // namespace brim
