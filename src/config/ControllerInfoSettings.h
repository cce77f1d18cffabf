#pragma once
#include <cstdint>

#include "config/SettingsSection.h"

namespace brim {

// "controllerinfo": the controller's version and the member and site ids that
// identify the machine in web-post queries.
class ControllerInfoSettings : public SettingsSection {
 public:
  std::string_view dictKey() const override { return "controllerinfo"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view versionNumberDictKey = "versionnumber";
  static constexpr std::string_view minVersionDictKey = "minversion";
  static constexpr std::string_view memberIdDictKey = "memberid";
  static constexpr std::string_view siteIdDictKey = "siteid";

  int64_t versionNumber = 0;
  int64_t minVersion = 0;
  int64_t memberId = 0;
  int64_t siteId = 0;
};

}  // namespace brim
