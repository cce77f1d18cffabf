#pragma once
// The collectors: one per system_profiler data type, each returning one
// category subtree ("fn" with "fnname" and its records).
#include <optional>
#include <string>

#include "envelope/XMLTree.h"

namespace brim {

class collectData {
 public:
  collectData();

  // Hardware inventory, in the order of the full asset document.
  XMLTree getMemoryInfo();
  XMLTree getHardwareInfo();
  XMLTree getFirewallInfo();
  XMLTree getEthernetInfo();
  XMLTree getDiskInfo();
  XMLTree getSharedVolInfo();
  XMLTree getCardreaderInfo();
  XMLTree getSelfTestInfo();
  XMLTree getDiscBurninginfo();
  XMLTree getPowerInfo();
  XMLTree getHWConfigInfo();
  XMLTree getOSInfo();
  XMLTree getGraphicInfo();
  XMLTree getBlueToothHardWareInfo();
  XMLTree getBlueToothServices();
  XMLTree getBlueToothDevices();
  XMLTree getNetwokInfo();
  XMLTree getLocationsInfo();
  // Software inventory.
  XMLTree getSystemInfo();
  XMLTree getApplicationInfo();
  XMLTree getUSBInfo();

  // The temporary folder the profiler output goes to.
  std::optional<std::string> dataDir;
};

}  // namespace brim
