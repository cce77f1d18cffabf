#pragma once
#include "config/SiteSettings.h"

namespace brim {

// "xmppregurl": the messaging registration sites, their flags and query parameter names.
class XmppRegURLSettings : public SiteSettings {
 public:
  std::string_view dictKey() const override { return "xmppregurl"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view encryptionDictKey = "encryption";
  static constexpr std::string_view regIDDictKey = "regid";
  static constexpr std::string_view agentTypeDictKey = "agenttype";

  std::optional<std::string> primarySiteEncryp;
  std::optional<std::string> secondarySiteEncryp;
  bool encryption = false;
  std::optional<std::string> regID;
  std::optional<std::string> agentType;

 private:
  static const std::vector<SectionField<XmppRegURLSettings>>& fields();
};

}  // namespace brim
