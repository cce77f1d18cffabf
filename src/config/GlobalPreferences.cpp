#include "config/GlobalPreferences.h"

#include <array>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/CustomLogger.h"
#include "config/CleanupSettings.h"
#include "config/ControllerInfoSettings.h"
#include "config/DCRegURLSettings.h"
#include "config/DataPostSettings.h"
#include "config/DateToDisasterRecoverySettings.h"
#include "config/GatewayRegistrationData.h"
#include "config/JobSettings.h"
#include "config/KeepAliveSettings.h"
#include "config/LmiInfoSettings.h"
#include "config/MacAgentUpdateSettings.h"
#include "config/ProxySettings.h"
#include "config/ScriptEngineSettings.h"
#include "config/ScriptSettingsCommunicator.h"
#include "config/SetupVersionCheckSettings.h"
#include "config/UninstallSettings.h"
#include "config/UpTimeSettings.h"
#include "config/XmppRegURLSettings.h"
#include "config/XmppRegisterInfo.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace brim {
namespace {

// The order in which a load fills the sections.
constexpr std::string_view kLoadOrder[] = {
    "controllerinfo",
    "dcregurl",
    "machineinfo",
    "datatodisasterrecovery",
    "job",
    "xmppregurl",
    "macfolders",
    "uninstall",
    "xmppreginfo",
    "lmiinfo",
    "macagentupdate",
    "proxysettings",
    "keepalive",
    "uptime",
    "setupversionckeckurl",
    "datapostsettings",
    "cleanupsettings",
    "scriptsettings",
    "scriptsettingscommunicator",
    "gatewaysettings",
};

// The order in which a write-back rebuilds them. "macfolders" and
// "setupversionckeckurl" belong to the installer and stay exactly as read.
constexpr std::string_view kWriteBackOrder[] = {
    "controllerinfo",
    "dcregurl",
    "machineinfo",
    "datatodisasterrecovery",
    "job",
    "xmppregurl",
    "uninstall",
    "xmppreginfo",
    "lmiinfo",
    "macagentupdate",
    "proxysettings",
    "keepalive",
    "uptime",
    "datapostsettings",
    "cleanupsettings",
    "scriptsettings",
    "gatewaysettings",
    "scriptsettingscommunicator",
};

bool isDictionary(plist_t node) { return node && plist_get_node_type(node) == PLIST_DICT; }

}  // namespace

struct GlobalPreferences::Sections {
  ControllerInfoSettings controllerInfo;
  DCRegURLSettings dcRegURL;
  UninstallSettings uninstallInfo;
  MachineInfoSettings machineInfo;
  MacFolderSettings macFodler;
  MacAgentUpdateSettings macagentupdate;
  DateToDisasterRecoverySettings disasterInfo;
  JobSettings job;
  XmppRegURLSettings xmppRegURL;
  XmppRegisterInfo xmppRegInfo;
  LmiInfoSettings lmiInfo;
  ProxySettings proxySettings;
  KeepAliveSettings keepAliveSettings;
  UpTimeSettings upTimeSettings;
  SetupVersionCheckSettings setupVerCheckSettings;
  DataPostSettings dataPostSettings;
  CleanupSettings cleanupSettings;
  ScriptEngineSettings scriptEngineSettings;
  GatewayRegistrationData gatewaySettings;
  ScriptSettingsCommunicator scriptSettingsCommunicator;

  const std::array<SettingsSection*, 20> all{
      &controllerInfo,
      &dcRegURL,
      &uninstallInfo,
      &machineInfo,
      &macFodler,
      &macagentupdate,
      &disasterInfo,
      &job,
      &xmppRegURL,
      &xmppRegInfo,
      &lmiInfo,
      &proxySettings,
      &keepAliveSettings,
      &upTimeSettings,
      &setupVerCheckSettings,
      &dataPostSettings,
      &cleanupSettings,
      &scriptEngineSettings,
      &gatewaySettings,
      &scriptSettingsCommunicator,
  };
  // Sections whose class gave no section at the last load: their property reads null.
  std::set<const SettingsSection*> absent;

  SettingsSection& byKey(std::string_view key) const {
    for (SettingsSection* section : all) {
      if (section->dictKey() == key) return *section;
    }
    std::abort();  // the order tables name only the keys above
  }
  template <class T>
  T* present(T& section) const {
    return absent.count(&section) ? nullptr : &section;
  }
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
  constexpr Sig sig = Sig::classLevel("GlobalPreferences", "setStaticInstance:");
  const std::string path = settingsFilePath();
  instance.allSettingsDict_ = readPlistFile(path);
  if (!instance.allSettingsDict_) {
    logAt(sig, "cannot read settings file " + path);
  } else if (!isDictionary(instance.allSettingsDict_.get())) {
    logAt(sig, "settings file " + path + " does not hold a dictionary");
    instance.allSettingsDict_.reset();
  }
  plist_t root = instance.allSettingsDict_.get();
  Sections& sections = *instance.sections_;
  for (std::string_view key : kLoadOrder) {
    SettingsSection& section = sections.byKey(key);
    plist_t dict = plistDictItem(root, key);
    if (dict && !isDictionary(dict)) {
      logAt(sig, "\"" + std::string(key) + "\" is not a dictionary; read as absent and kept as it is");
      dict = nullptr;
    }
    if (section.initWithDictionary(dict)) {
      sections.absent.erase(&section);
    } else {
      sections.absent.insert(&section);
    }
  }
}

bool GlobalPreferences::saveGlobalPreferences(GlobalPreferences& instance) {
  constexpr Sig sig = Sig::classLevel("GlobalPreferences", "saveGlobalPreferences:");
  plist_t root = instance.allSettingsDict_.get();
  const std::string path = settingsFilePath();
  if (!root) {
    logAt(sig, "no settings were read; " + path + " left as it is");
    return false;
  }
  const Sections& sections = *instance.sections_;
  for (std::string_view key : kWriteBackOrder) {
    const SettingsSection& section = sections.byKey(key);
    // An absent section, or a root entry that is not a section dictionary, stays as the file had it.
    if (sections.absent.count(&section)) continue;
    plist_t asRead = plistDictItem(root, key);
    if (asRead && !isDictionary(asRead)) continue;
    Plist rebuilt = section.dictionary();
    if (!rebuilt) continue;
    plist_dict_set_item(root, std::string(key).c_str(), rebuilt.release());
  }
  if (!writePlistFileAtomically(path, root)) {
    logAt(sig, "cannot write settings file " + path + ": " + FileSystem::lastFailure());
    return false;
  }
  return true;
}

ControllerInfoSettings* GlobalPreferences::controllerInfo() const { return &sections_->controllerInfo; }
DCRegURLSettings* GlobalPreferences::dcRegURL() const { return &sections_->dcRegURL; }
UninstallSettings* GlobalPreferences::uninstallInfo() const { return &sections_->uninstallInfo; }
MachineInfoSettings& GlobalPreferences::machineInfo() const { return sections_->machineInfo; }
MacFolderSettings& GlobalPreferences::macFodler() const { return sections_->macFodler; }
MacAgentUpdateSettings* GlobalPreferences::macagentupdate() const { return &sections_->macagentupdate; }
DateToDisasterRecoverySettings* GlobalPreferences::disasterInfo() const { return &sections_->disasterInfo; }
JobSettings* GlobalPreferences::job() const { return &sections_->job; }
XmppRegURLSettings* GlobalPreferences::xmppRegURL() const { return &sections_->xmppRegURL; }
XmppRegisterInfo* GlobalPreferences::xmppRegInfo() const { return &sections_->xmppRegInfo; }
LmiInfoSettings* GlobalPreferences::lmiInfo() const { return sections_->present(sections_->lmiInfo); }
ProxySettings* GlobalPreferences::proxySettings() const { return &sections_->proxySettings; }
KeepAliveSettings* GlobalPreferences::keepAliveSettings() const {
  return sections_->present(sections_->keepAliveSettings);
}
UpTimeSettings* GlobalPreferences::upTimeSettings() const { return &sections_->upTimeSettings; }
SetupVersionCheckSettings* GlobalPreferences::setupVerCheckSettings() const {
  return &sections_->setupVerCheckSettings;
}
DataPostSettings* GlobalPreferences::dataPostSettings() const {
  return sections_->present(sections_->dataPostSettings);
}
CleanupSettings* GlobalPreferences::cleanupSettings() const { return sections_->present(sections_->cleanupSettings); }
ScriptEngineSettings* GlobalPreferences::scriptEngineSettings() const { return &sections_->scriptEngineSettings; }
GatewayRegistrationData* GlobalPreferences::gatewaySettings() const { return &sections_->gatewaySettings; }
ScriptSettingsCommunicator* GlobalPreferences::scriptSettingsCommunicator() const {
  return &sections_->scriptSettingsCommunicator;
}

}  // namespace brim
