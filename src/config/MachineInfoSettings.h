#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "config/SettingsSection.h"

namespace brim {

// "machineinfo": the machine's registration record.
class MachineInfoSettings : public SettingsSection {
 public:
  std::string_view dictKey() const override { return "machineinfo"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;  // logs "%s:In DICT" on every call

  static constexpr std::string_view machineNameDictKey = "machinename";
  static constexpr std::string_view logonNameDictKey = "logonname";
  static constexpr std::string_view dcRegIdDictKey = "dcregid";
  static constexpr std::string_view keepAliveIntervalMinutesDictKey = "keepaliveintervalminutes";
  static constexpr std::string_view agentTypeDictKey = "agenttype";
  static constexpr std::string_view installDateDictKey = "installdate";
  static constexpr std::string_view updatedonDictKey = "updatedon";
  static constexpr std::string_view sitecodeDictKey = "sitecode";
  static constexpr std::string_view siteNameDictKey = "sitename";
  static constexpr std::string_view memberNameDictKey = "membername";
  static constexpr std::string_view HDpasswdupdatedonDictKey = "HDpasswdupdatedon";

  std::optional<std::string> machineName;
  std::optional<std::string> logonName;
  int64_t dcRegId = 0;
  int64_t keepAliveIntervalMinutes = 0;
  std::optional<std::string> agentType;
  std::optional<std::string> installDate;
  std::optional<std::string> updatedon;
  std::optional<std::string> sitecode;
  std::optional<std::string> siteName;
  std::optional<std::string> memberName;
  std::optional<std::string> HDpasswdupdatedon;
};

}  // namespace brim
