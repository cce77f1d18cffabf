#pragma once
// The application firewall settings.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct FireWall {
  RecordValue fwMode;
  RecordValue fwLog;
  RecordValue fwStealthMode;

  static constexpr std::string_view fwModeXMLTag = "mode";
  static constexpr std::string_view fwLogXMLTag = "frwallog";
  static constexpr std::string_view fwStealthModeXMLTag = "stlmode";
};

}  // namespace brim
