#pragma once
#include <optional>
#include <string>

#include "platform/Signature.h"
#include "config/SettingsSection.h"
#include "envelope/EncryptionAES.h"

namespace brim {

// "scriptsettings": where the script engine asks for scripts and reports their
// status (both stored encrypted).
class ScriptEngineSettings : public SettingsSection {
 public:
  ScriptEngineSettings();
  std::string_view dictKey() const override { return "scriptsettings"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view requestScriptDictKey = "requestsite";
  static constexpr std::string_view statusSiteDictKey = "statussite";

  std::optional<std::string> requestScriptEncrp;
  std::optional<std::string> requestScript;
  std::optional<std::string> statusSiteEncrp;
  std::optional<std::string> statusSite;

 protected:
  void load(plist_t dict, const Sig& sig);

 private:
  EncryptionAES encrypter;
  std::string keyStringToDecrypt;
};

}  // namespace brim
