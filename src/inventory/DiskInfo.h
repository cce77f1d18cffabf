#pragma once
// One Serial-ATA controller with its first drive; its `diskVolArray` holds the drive's volumes.
#include <string_view>
#include <vector>

#include "inventory/DiskVolumes.h"
#include "inventory/RecordValue.h"

namespace brim {

struct DiskInfo {
  std::vector<DiskVolumes> diskVolArray;

  RecordValue diskVendor;
  RecordValue product;
  RecordValue linkSpeed;
  RecordValue nLinkSpeed;
  RecordValue description;
  RecordValue capacity;
  RecordValue model;
  RecordValue diskRevision;
  RecordValue diskSerialNum;
  RecordValue nativeCmdQ;
  RecordValue queueDepth;
  RecordValue removableMedia;
  RecordValue detDrive;
  RecordValue diskBSDName;
  RecordValue rotationRate;
  RecordValue mediumType;
  RecordValue bayName;
  RecordValue partMapTime;
  RecordValue smartStatus;

  static constexpr std::string_view diskVendorXMLTag = "vendor";
  static constexpr std::string_view productXMLTag = "product";
  static constexpr std::string_view linkSpeedXMLTag = "lnkspeed";
  static constexpr std::string_view nLinkSpeedXMLTag = "nlnkspeed";
  static constexpr std::string_view descriptionXMLTag = "descr";
  static constexpr std::string_view capacityXMLTag = "capacity";
  static constexpr std::string_view modelXMLTag = "model";
  static constexpr std::string_view diskRevisionXMLTag = "revision";
  static constexpr std::string_view diskSerialNumXMLTag = "srlno";
  static constexpr std::string_view nativeCmdQXMLTag = "ntcmdq";
  static constexpr std::string_view queueDepthXMLTag = "queuedepth";
  static constexpr std::string_view removableMediaXMLTag = "removalblemedia";
  static constexpr std::string_view detDriveXMLTag = "dtchbldrive";
  static constexpr std::string_view diskBSDNameXMLTag = "bsdname";
  static constexpr std::string_view rotationRateXMLTag = "rtrate";
  static constexpr std::string_view mediumTypeXMLTag = "mediumtype";
  static constexpr std::string_view bayNameXMLTag = "bayname";
  static constexpr std::string_view partMapTimeXMLTag = "prtmaptype";
  static constexpr std::string_view smartStatusXMLTag = "smartstatus";
};

}  // namespace brim
