#include "config/MacFolderSettings.h"

namespace brim {

bool MacFolderSettings::initWithDictionary(plist_t dict) {
  agentInstallPathAbs = plistString(plistDictItem(dict, agentInstallPathAbsDictKey));
  configDirectRelative = plistString(plistDictItem(dict, configDirectRelativeDictKey));
  downloadDirRelative = plistString(plistDictItem(dict, downloadDirRelativeDictKey));
  executableDirRelative = plistString(plistDictItem(dict, executableDirRelativeDictKey));
  tempDirRelative = plistString(plistDictItem(dict, tempDirRelativeDictKey));
  dataPostDirRelative = plistString(plistDictItem(dict, dataPostDirRelativeDictKey));
  dataDirRelative = plistString(plistDictItem(dict, dataDirRelativeDictKey));
  libDirRelative = plistString(plistDictItem(dict, libDirRelativeDictKey));
  logDirRelative = plistString(plistDictItem(dict, logDirRelativeDictKey));
  return true;
}

Plist MacFolderSettings::dictionary() const { return Plist(plist_new_dict()); }

}  // namespace brim
