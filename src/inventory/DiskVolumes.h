#pragma once
// One volume of a drive.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct DiskVolumes {
  RecordValue volName;
  RecordValue diskCapacity;
  RecordValue available;
  RecordValue writable;
  RecordValue fileSystem;
  RecordValue volBSDName;
  RecordValue mountPoint;
  RecordValue content;

  static constexpr std::string_view volNameXMLTag = "volname";
  static constexpr std::string_view diskCapacityXMLTag = "capacity";
  static constexpr std::string_view availableXMLTag = "available";
  static constexpr std::string_view writableXMLTag = "writable";
  static constexpr std::string_view fileSystemXMLTag = "filesys";
  static constexpr std::string_view volBSDNameXMLTag = "bsdname";
  static constexpr std::string_view mountPointXMLTag = "mntpoint";
  static constexpr std::string_view contentXMLTag = "content";
};

}  // namespace brim
