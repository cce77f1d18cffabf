#pragma once
// A memory group and, in its `memArray`, the modules of the group; one class serves both.
#include <string_view>
#include <vector>

#include "inventory/RecordValue.h"

namespace brim {

struct MemoryInfo {
  std::vector<MemoryInfo> memArray;

  RecordValue ecc;
  RecordValue slot;
  RecordValue size;
  RecordValue type;
  RecordValue speed;
  RecordValue status;
  RecordValue manufacture;
  RecordValue partNumber;
  RecordValue serialNumber;

  static constexpr std::string_view eccXMLTag = "ecc";
  static constexpr std::string_view slotXMLTag = "slot";
  static constexpr std::string_view sizeXMLTag = "size";
  static constexpr std::string_view memtypeXMLTag = "type";
  static constexpr std::string_view speedXMLTag = "speed";
  static constexpr std::string_view statusXMLTag = "status";
  static constexpr std::string_view manufactureXMLTag = "manufacturer";
  static constexpr std::string_view partNumberXMLTag = "partnum";
  static constexpr std::string_view serialNumberXMLTag = "srlnum";
};

}  // namespace brim
