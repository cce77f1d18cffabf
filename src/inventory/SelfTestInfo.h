#pragma once
// The result of the last hardware self test.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct SelfTestInfo {
  RecordValue lastRun;
  RecordValue result;

  static constexpr std::string_view lastRunXMLTag = "lastrun";
  static constexpr std::string_view resultXMLTag = "result";
};

}  // namespace brim
