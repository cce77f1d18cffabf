#pragma once
// Whether a UPS is installed.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct HardwareConfig {
  RecordValue upsInstalled;

  static constexpr std::string_view upsInstalledXMLTag = "upsinstalled";
};

}  // namespace brim
