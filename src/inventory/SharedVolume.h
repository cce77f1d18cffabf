#pragma once
// One mounted network volume.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct SharedVolume {
  RecordValue volumeName;
  RecordValue volumeType;
  RecordValue mntPoint;
  RecordValue mountFrom;
  RecordValue autoMount;

  static constexpr std::string_view volumeNameXMLTag = "volname";
  static constexpr std::string_view volumeTypeXMLTag = "type";
  static constexpr std::string_view mntPointXMLTag = "mntpoint";
  static constexpr std::string_view mountFromXMLTag = "mntfrm";
  static constexpr std::string_view autoMountXMLTag = "automnt";
};

}  // namespace brim
