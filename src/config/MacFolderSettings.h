#pragma once
#include <optional>
#include <string>

#include "config/SettingsSection.h"

namespace brim {

// "macfolders": the agent's folders, relative ones joined to the install path with "/".
class MacFolderSettings {
 public:
  explicit MacFolderSettings(const SettingsSection& section) : section_(section) {}

  // "<agentInstallPathAbs>/<relative>", an absent part written as "(null)".
  std::string folder(const std::optional<std::string>& relative) const;

  const std::optional<std::string>& agentInstallPathAbs() const;
  const std::optional<std::string>& configDirectRelative() const;
  const std::optional<std::string>& executableDirRelative() const;
  const std::optional<std::string>& tempDirRelative() const;
  const std::optional<std::string>& dataPostDirRelative() const;
  const std::optional<std::string>& dataDirRelative() const;
  const std::optional<std::string>& logDirRelative() const;

 private:
  const std::optional<std::string>& text(size_t field) const { return section_.value(field).text; }
  const SettingsSection& section_;
};

}  // namespace brim
