#include "config/MachineInfoSettings.h"

namespace brim {

bool MachineInfoSettings::initWithDictionary(plist_t dict) {
  machineName = plistString(plistDictItem(dict, machineNameDictKey));
  logonName = plistString(plistDictItem(dict, logonNameDictKey));
  dcRegId = plistInteger(plistDictItem(dict, dcRegIdDictKey)).value_or(0);
  keepAliveIntervalMinutes = plistInteger(plistDictItem(dict, keepAliveIntervalMinutesDictKey)).value_or(0);
  agentType = plistString(plistDictItem(dict, agentTypeDictKey));
  installDate = plistString(plistDictItem(dict, installDateDictKey));
  updatedon = plistString(plistDictItem(dict, updatedonDictKey));
  sitecode = plistString(plistDictItem(dict, sitecodeDictKey));
  siteName = plistString(plistDictItem(dict, siteNameDictKey));
  memberName = plistString(plistDictItem(dict, memberNameDictKey));
  HDpasswdupdatedon = plistString(plistDictItem(dict, HDpasswdupdatedonDictKey));
  return true;
}

Plist MachineInfoSettings::dictionary() const { return Plist(plist_new_dict()); }

}  // namespace brim
