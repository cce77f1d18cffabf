#pragma once
#include <optional>
#include <string>

#include "config/SettingsSection.h"
#include "envelope/EncryptionAES.h"

namespace brim {

// "lmiinfo": the remote-access installer's sites (stored encrypted) and query
// parameter names. A file without this section gives no section at all.
class LmiInfoSettings : public SettingsSection {
 public:
  LmiInfoSettings();
  std::string_view dictKey() const override { return "lmiinfo"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view permissionReqSiteDictKey = "permissionreqsite";
  static constexpr std::string_view installStatusSiteDictKey = "installationstatussite";
  static constexpr std::string_view registerationSiteDictKey = "registerationsite";
  static constexpr std::string_view uninstallSiteDictKey = "uninstallsite";
  static constexpr std::string_view getDataDictKey = "getdata";
  static constexpr std::string_view memberIDDictKey = "memberid";
  static constexpr std::string_view siteIDDictKey = "siteid";
  static constexpr std::string_view regIDDictKey = "registerid";
  static constexpr std::string_view agentTypeDictKey = "agenttype";

  std::optional<std::string> permissionReqSiteEncrp;
  std::optional<std::string> permissionReqSite;
  std::optional<std::string> installStatusSiteEncrp;
  std::optional<std::string> installStatusSite;
  std::optional<std::string> registerationSiteEncrp;
  std::optional<std::string> registerationSite;
  std::optional<std::string> uninstallSiteEncrp;
  std::optional<std::string> uninstallSite;
  Plist getData;
  std::optional<std::string> memberID;
  std::optional<std::string> siteID;
  std::optional<std::string> regID;
  std::optional<std::string> agentType;

 private:
  EncryptionAES encrypter;
  std::string keyStringToDecrypt;
};

}  // namespace brim
