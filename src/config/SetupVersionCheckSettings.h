#pragma once
#include "config/DCRegURLSettings.h"

namespace brim {

// "setupversionckeckurl": the set-up version check sites, laid out as "dcregurl".
// The store never writes this section back.
class SetupVersionCheckSettings : public DCRegURLSettings {
 public:
  std::string_view dictKey() const override { return "setupversionckeckurl"; }
  bool initWithDictionary(plist_t dict) override;
};

}  // namespace brim
