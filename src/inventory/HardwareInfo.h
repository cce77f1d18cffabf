#pragma once
// The machine's hardware overview.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct HardwareInfo {
  RecordValue modelName;
  RecordValue modelIdentifier;
  RecordValue processorName;
  RecordValue processorSpeed;
  RecordValue numProcessors;
  RecordValue numCores;
  RecordValue l2Cache;
  RecordValue l3Cache;
  RecordValue memory;
  RecordValue bootRomVer;
  RecordValue smcVersion;
  RecordValue serialNum;
  RecordValue hardwareUUID;

  static constexpr std::string_view modelNameXMLTag = "mdlname";
  static constexpr std::string_view modelIdentifierXMLTag = "mdlidentifr";
  static constexpr std::string_view processorNameXMLTag = "processor";
  static constexpr std::string_view processorSpeedXMLTag = "processorspd";
  static constexpr std::string_view numProcessorsXMLTag = "numofprocessor";
  static constexpr std::string_view numCoresXMLTag = "numofcores";
  static constexpr std::string_view l2CacheXMLTag = "l2cache";
  static constexpr std::string_view l3CacheXMLTag = "l3cache";
  static constexpr std::string_view memoryXMLTag = "memory";
  static constexpr std::string_view bootRomVerXMLTag = "btromver";
  static constexpr std::string_view smcVersionXMLTag = "smcver";
  static constexpr std::string_view serialNumXMLTag = "srlnum";
  static constexpr std::string_view hardwareUUIDXMLTag = "hrduuid";
};

}  // namespace brim
