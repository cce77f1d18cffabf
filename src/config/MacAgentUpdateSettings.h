#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "config/SettingsSection.h"
#include "envelope/EncryptionAES.h"

namespace brim {

// "macagentupdate": where the agent looks for, reports and downloads its updates.
class MacAgentUpdateSettings : public SettingsSection {
 public:
  MacAgentUpdateSettings();
  std::string_view dictKey() const override { return "macagentupdate"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view primarySiteDictKey = "primarysite";
  static constexpr std::string_view statusSiteDictKey = "statussite";
  static constexpr std::string_view DownLoadSiteDictKey = "downloadSite";  // capital S, as the agent writes it
  static constexpr std::string_view CheckforupdateDictKey = "checkforupdates";

  std::optional<std::string> primarySiteEncrp;
  std::optional<std::string> primarySite;
  std::optional<std::string> statusSiteEncrp;
  std::optional<std::string> statusSite;
  std::optional<std::string> downloadsiteEncrp;
  std::optional<std::string> downloadsite;
  int64_t checkforUpdates = 0;

 private:
  EncryptionAES encrypter;
  std::string keyStringToDecrypt;
};

}  // namespace brim
