#pragma once
// One card reader.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct CardReaderInfo {
  RecordValue vendorID;
  RecordValue prdID;
  RecordValue revision;
  RecordValue cardSerialNum;

  static constexpr std::string_view vendorIDXMLTag = "vendorid";
  static constexpr std::string_view prdIDXMLTag = "prdid";
  static constexpr std::string_view revisionXMLTag = "revision";
  static constexpr std::string_view cardSerialNumXMLTag = "srlno";
};

}  // namespace brim
