#include "config/MacFolderSettings.h"

#include "config/SettingsLayout.h"
#include "platform/Text.h"

namespace brim {
namespace {
constexpr const SectionTable& kTable = settingsTable("macfolders");
}  // namespace

std::string MacFolderSettings::folder(const std::optional<std::string>& relative) const {
  return orNull(agentInstallPathAbs()) + "/" + orNull(relative);
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
