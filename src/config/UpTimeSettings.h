#pragma once
#include "config/KeepAliveSettings.h"

namespace brim {

// "uptime": laid out as "keepalive", but a file without it keeps the section
// (with null, 0 and false values).
class UpTimeSettings : public KeepAliveSettings {
 public:
  std::string_view dictKey() const override { return "uptime"; }
  bool initWithDictionary(plist_t dict) override;
};

}  // namespace brim
