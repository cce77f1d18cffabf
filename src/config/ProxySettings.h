#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "config/SettingsSection.h"

namespace brim {

// "proxysettings": the proxy the HTTP post client goes through. User name and
// password are held decrypted and encrypted afresh at each write-back.
class ProxySettings {
 public:
  explicit ProxySettings(const SettingsSection& section) : section_(section) {}

  const std::optional<std::string>& proxyIP() const;
  int64_t proxyPort() const;
  const std::optional<std::string>& proxyUserName() const;
  const std::optional<std::string>& proxyPassword() const;

 private:
  const SettingsSection& section_;
};

}  // namespace brim
