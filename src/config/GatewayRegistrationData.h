#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "config/SettingsSection.h"

namespace brim {

// "gatewaysettings": the local gateway the agent registered with and its folders.
class GatewayRegistrationData : public SettingsSection {
 public:
  std::string_view dictKey() const override { return "gatewaysettings"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view ipAddressKey = "ipaddress";
  static constexpr std::string_view portNumberKey = "portnumber";
  static constexpr std::string_view tpFolderNameKey = "tpfoldername";
  static constexpr std::string_view agentFolderNameKey = "agentfoldername";
  static constexpr std::string_view avFolderNameKey = "avfoldername";
  static constexpr std::string_view updatedOnKey = "updatedon";

  std::optional<std::string> ipAddress;
  int64_t portNumber = 0;
  std::optional<std::string> tpFolderName;
  std::optional<std::string> agentFolderName;
  std::optional<std::string> avFolderName;
  std::optional<std::string> updatedOn;
};

}  // namespace brim
