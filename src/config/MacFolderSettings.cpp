#include "config/MacFolderSettings.h"

#include "config/SettingsLayout.h"
#include "platform/Text.h"
#include "platform/TrustedPath.h"

namespace brim {
namespace {
constexpr const SectionTable& kTable = settingsTable("macfolders");
}  // namespace

std::string MacFolderSettings::folder(const std::optional<std::string>& relative) const {
  return orNull(agentInstallPathAbs()) + "/" + orNull(relative);
}

std::optional<std::string> MacFolderSettings::absoluteFolder(const std::optional<std::string>& relative,
                                                             std::string& why) const {
  std::string path = folder(relative);
  if (!agentInstallPathAbs() || !relative) {
    why = "the settings name no folder: \"" + path + "\" is not an absolute path";
    return std::nullopt;
  }
  if (auto notPlain = TrustedPath::whyNotPlain(path)) {
    why = *notPlain;
    return std::nullopt;
  }
  return path;
}

std::optional<TrustedFolder> MacFolderSettings::writableFolder(const std::optional<std::string>& relative,
                                                               std::string& why) const {
  const std::optional<std::string> path = absoluteFolder(relative, why);
  if (!path) return std::nullopt;
  return TrustedFolder::open(*path, why);
}

const std::optional<std::string>& MacFolderSettings::agentInstallPathAbs() const {
  return text(kTable.field("agentinstallpathabsolute"));
}
const std::optional<std::string>& MacFolderSettings::configDirectRelative() const {
  return text(kTable.field("configdirrelative"));
}
const std::optional<std::string>& MacFolderSettings::executableDirRelative() const {
  return text(kTable.field("executabledirrelative"));
}
const std::optional<std::string>& MacFolderSettings::tempDirRelative() const {
  return text(kTable.field("tempdirrelative"));
}
const std::optional<std::string>& MacFolderSettings::dataPostDirRelative() const {
  return text(kTable.field("datapostdirrelative"));
}
const std::optional<std::string>& MacFolderSettings::dataDirRelative() const {
  return text(kTable.field("datadirrelative"));
}
const std::optional<std::string>& MacFolderSettings::logDirRelative() const {
  return text(kTable.field("logdirrelative"));
}

}  // namespace brim
