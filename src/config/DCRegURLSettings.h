#pragma once
#include "config/SiteSettings.h"

namespace brim {

// "dcregurl": the registration sites, their flags and query parameter names.
class DCRegURLSettings : public SiteSettings {
 public:
  std::string_view dictKey() const override { return "dcregurl"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view encrytionDictKey = "encryption";

  std::optional<std::string> primarySiteEncrp;
  std::optional<std::string> secondarySiteEncrp;
  bool encrytion = false;

 protected:
  static const std::vector<SectionField<DCRegURLSettings>>& fields();
};

}  // namespace brim
