// Placeholder: loads the two sections the run control needs.
#include "config/GlobalPreferences.h"

#include <mutex>

#include "platform/Paths.h"

namespace brim {

struct GlobalPreferences::Sections {
  MachineInfoSettings machineInfo;
  MacFolderSettings macFolder;
};

GlobalPreferences::GlobalPreferences() : sections_(std::make_unique<Sections>()) {}
GlobalPreferences::~GlobalPreferences() = default;

std::string GlobalPreferences::settingsFilePath() { return Paths::fixed(Paths::kSettingsFile); }

GlobalPreferences& GlobalPreferences::getSharedInstance() {
  static std::mutex lock;
  static std::unique_ptr<GlobalPreferences> shared;
  std::lock_guard guard(lock);
  if (!shared) {
    shared = std::make_unique<GlobalPreferences>();
    setStaticInstance(*shared);
  }
  return *shared;
}

void GlobalPreferences::setStaticInstance(GlobalPreferences& instance) {
  instance.allSettingsDict_ = readPlistFile(settingsFilePath());
  plist_t root = instance.allSettingsDict_.get();
  if (root && plist_get_node_type(root) != PLIST_DICT) {
    instance.allSettingsDict_.reset();
    root = nullptr;
  }
  instance.sections_->machineInfo.initWithDictionary(plistDictItem(root, "machineinfo"));
  instance.sections_->macFolder.initWithDictionary(plistDictItem(root, "macfolders"));
}

bool GlobalPreferences::saveGlobalPreferences(GlobalPreferences&) { return false; }

MachineInfoSettings& GlobalPreferences::machineInfo() const { return sections_->machineInfo; }
MacFolderSettings& GlobalPreferences::macFodler() const { return sections_->macFolder; }
ControllerInfoSettings* GlobalPreferences::controllerInfo() const { return nullptr; }
DCRegURLSettings* GlobalPreferences::dcRegURL() const { return nullptr; }
UninstallSettings* GlobalPreferences::uninstallInfo() const { return nullptr; }
MacAgentUpdateSettings* GlobalPreferences::macagentupdate() const { return nullptr; }
DateToDisasterRecoverySettings* GlobalPreferences::disasterInfo() const { return nullptr; }
JobSettings* GlobalPreferences::job() const { return nullptr; }
XmppRegURLSettings* GlobalPreferences::xmppRegURL() const { return nullptr; }
XmppRegisterInfo* GlobalPreferences::xmppRegInfo() const { return nullptr; }
LmiInfoSettings* GlobalPreferences::lmiInfo() const { return nullptr; }
ProxySettings* GlobalPreferences::proxySettings() const { return nullptr; }
KeepAliveSettings* GlobalPreferences::keepAliveSettings() const { return nullptr; }
UpTimeSettings* GlobalPreferences::upTimeSettings() const { return nullptr; }
SetupVersionCheckSettings* GlobalPreferences::setupVerCheckSettings() const { return nullptr; }
DataPostSettings* GlobalPreferences::dataPostSettings() const { return nullptr; }
CleanupSettings* GlobalPreferences::cleanupSettings() const { return nullptr; }
ScriptEngineSettings* GlobalPreferences::scriptEngineSettings() const { return nullptr; }
GatewayRegistrationData* GlobalPreferences::gatewaySettings() const { return nullptr; }
ScriptSettingsCommunicator* GlobalPreferences::scriptSettingsCommunicator() const { return nullptr; }

}  // namespace brim
