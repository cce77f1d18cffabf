#pragma once
#include <optional>
#include <string>

#include "config/SettingsSection.h"

namespace brim {

// "macfolders": the agent's folders, relative ones joined to the install path with "/".
class MacFolderSettings : public SettingsSection {
 public:
  std::string_view dictKey() const override { return "macfolders"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  // "<agentInstallPathAbs>/<relative>", an absent part written as "(null)".
  std::string folder(const std::optional<std::string>& relative) const;

  static constexpr std::string_view agentInstallPathAbsDictKey = "agentinstallpathabsolute";
  static constexpr std::string_view configDirectRelativeDictKey = "configdirrelative";
  static constexpr std::string_view downloadDirRelativeDictKey = "downloaddirrelative";
  static constexpr std::string_view executableDirRelativeDictKey = "executabledirrelative";
  static constexpr std::string_view tempDirRelativeDictKey = "tempdirrelative";
  static constexpr std::string_view dataPostDirRelativeDictKey = "datapostdirrelative";
  static constexpr std::string_view dataDirRelativeDictKey = "datadirrelative";
  static constexpr std::string_view libDirRelativeDictKey = "libdirrelative";
  static constexpr std::string_view logDirRelativeDictKey = "logdirrelative";

  std::optional<std::string> agentInstallPathAbs;
  std::optional<std::string> configDirectRelative;
  std::optional<std::string> downloadDirRelative;
  std::optional<std::string> executableDirRelative;
  std::optional<std::string> tempDirRelative;
  std::optional<std::string> dataPostDirRelative;
  std::optional<std::string> dataDirRelative;
  std::optional<std::string> libDirRelative;
  std::optional<std::string> logDirRelative;
};

}  // namespace brim
