#pragma once
// The process-wide store of the settings file: the root dictionary as read and
// one section object per top-level key. Section objects stay the same objects
// across reloads, so references held elsewhere stay valid.
//
// A write-back rebuilds each section but "macfolders" and "setupversionckeckurl"
// on top of the dictionary it read, so keys a section reads but does not write,
// or does not know, survive. The root entry of a section the file lacked (for the
// classes that then give no section) or that was not a dictionary stays as it was.
#include <memory>
#include <string>

#include "config/MacFolderSettings.h"
#include "config/MachineInfoSettings.h"
#include "platform/Plist.h"

namespace brim {

class ControllerInfoSettings;
class DCRegURLSettings;
class UninstallSettings;
class MacAgentUpdateSettings;
class DateToDisasterRecoverySettings;
class JobSettings;
class XmppRegURLSettings;
class XmppRegisterInfo;
class LmiInfoSettings;
class ProxySettings;
class KeepAliveSettings;
class UpTimeSettings;
class SetupVersionCheckSettings;
class DataPostSettings;
class CleanupSettings;
class ScriptEngineSettings;
class GatewayRegistrationData;
class ScriptSettingsCommunicator;

class GlobalPreferences {
 public:
  GlobalPreferences();  // init: one section object of each class, key names only
  ~GlobalPreferences();
  GlobalPreferences(const GlobalPreferences&) = delete;
  GlobalPreferences& operator=(const GlobalPreferences&) = delete;

  static GlobalPreferences& getSharedInstance();
  static void setStaticInstance(GlobalPreferences& instance);  // (re)load from the settings file
  static bool saveGlobalPreferences(GlobalPreferences& instance);
  // The settings file's path (a fixed path; under the sandbox root in tests).
  static std::string settingsFilePath();

  // Sections. A getter returns null for a section of the classes that give no
  // section when the file lacks its dictionary.
  ControllerInfoSettings* controllerInfo() const;
  DCRegURLSettings* dcRegURL() const;
  UninstallSettings* uninstallInfo() const;
  MachineInfoSettings& machineInfo() const;
  MacFolderSettings& macFodler() const;
  MacAgentUpdateSettings* macagentupdate() const;
  DateToDisasterRecoverySettings* disasterInfo() const;
  JobSettings* job() const;
  XmppRegURLSettings* xmppRegURL() const;
  XmppRegisterInfo* xmppRegInfo() const;
  LmiInfoSettings* lmiInfo() const;
  ProxySettings* proxySettings() const;
  KeepAliveSettings* keepAliveSettings() const;
  UpTimeSettings* upTimeSettings() const;
  SetupVersionCheckSettings* setupVerCheckSettings() const;
  DataPostSettings* dataPostSettings() const;
  CleanupSettings* cleanupSettings() const;
  ScriptEngineSettings* scriptEngineSettings() const;
  GatewayRegistrationData* gatewaySettings() const;
  ScriptSettingsCommunicator* scriptSettingsCommunicator() const;

  // The whole root dictionary as last read; null when the file was missing or not a dictionary.
  plist_t allSettingsDict() const { return allSettingsDict_.get(); }

 private:
  struct Sections;
  std::unique_ptr<Sections> sections_;
  Plist allSettingsDict_;
};

}  // namespace brim
