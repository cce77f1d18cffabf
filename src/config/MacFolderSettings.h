#pragma once
#include <optional>
#include <string>

#include "config/SettingsSection.h"
#include "platform/TrustedPath.h"

namespace brim {

// "macfolders": the agent's folders, relative ones joined to the install path with "/".
class MacFolderSettings {
 public:
  explicit MacFolderSettings(const SettingsSection& section) : section_(section) {}

  // "<agentInstallPathAbs>/<relative>", an absent part written as "(null)".
  std::string folder(const std::optional<std::string>& relative) const;
  // The same folder when root may act on it: an absolute path without a NUL
  // and without "." or ".." components. Otherwise absent, with why set for
  // the log: a missing setting ("(null)/(null)") must never become a path
  // taken from whatever the working folder is.
  std::optional<std::string> absoluteFolder(const std::optional<std::string>& relative, std::string& why) const;
  // The absolute folder root writes into, held open once every folder from
  // the top down to it passed the trusted-path rule. Absent, with why (what
  // to fix), otherwise; a missing folder among them: the agent's installer
  // makes these.
  std::optional<TrustedFolder> writableFolder(const std::optional<std::string>& relative, std::string& why) const;

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
