#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "config/SettingsSection.h"

namespace brim {

// "proxysettings": the proxy the HTTP post client goes through. The user name
// and password are stored encrypted; only their decrypted values are kept, and a
// write-back encrypts them afresh.
class ProxySettings : public SettingsSection {
 public:
  ProxySettings();
  std::string_view dictKey() const override { return "proxysettings"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view proxyIPDictKey = "proxyip";
  static constexpr std::string_view proxyPortDictKey = "proxyport";
  static constexpr std::string_view proxyUserNameDictKey = "proxyusername";
  static constexpr std::string_view proxyPasswordDictKey = "proxypassword";

  std::optional<std::string> proxyIP;
  int64_t proxyPort = 0;
  std::optional<std::string> proxyUserName;
  std::optional<std::string> proxyPassword;

 private:
  std::string keyString;
};

}  // namespace brim
