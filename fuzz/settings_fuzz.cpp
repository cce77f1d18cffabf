// Any bytes as the settings file, through a load, a write-back and a reload:
// the reload reads what the first load read, and writing it back again gives
// the same file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "config/CleanupSettings.h"
#include "config/ControllerInfoSettings.h"
#include "config/DCRegURLSettings.h"
#include "config/DataPostSettings.h"
#include "config/DateToDisasterRecoverySettings.h"
#include "config/GatewayRegistrationData.h"
#include "config/GlobalPreferences.h"
#include "config/JobSettings.h"
#include "config/KeepAliveSettings.h"
#include "config/LmiInfoSettings.h"
#include "config/MacAgentUpdateSettings.h"
#include "config/MacFolderSettings.h"
#include "config/MachineInfoSettings.h"
#include "config/ProxySettings.h"
#include "config/ScriptEngineSettings.h"
#include "config/ScriptSettingsCommunicator.h"
#include "config/SetupVersionCheckSettings.h"
#include "config/UninstallSettings.h"
#include "config/UpTimeSettings.h"
#include "config/XmppRegURLSettings.h"
#include "config/XmppRegisterInfo.h"
#include "platform/FileSystem.h"
#include "platform/Plist.h"

namespace {

void appendSection(std::string& out, const brim::SettingsSection* section) {
  if (!section) {
    out += "(no section)\n";
    return;
  }
  out += section->dictKey();
  out += '\n';
  const brim::Plist dictionary = section->dictionary();
  if (dictionary) out += brim::plistToXml(dictionary.get());
}

// What a load made of the file: every section as it would be written.
std::string loaded(const brim::GlobalPreferences& prefs) {
  std::string out;
  const brim::SettingsSection* sections[] = {
      prefs.controllerInfo(),
      prefs.dcRegURL(),
      prefs.uninstallInfo(),
      &prefs.machineInfo(),
      &prefs.macFodler(),
      prefs.macagentupdate(),
      prefs.disasterInfo(),
      prefs.job(),
      prefs.xmppRegURL(),
      prefs.xmppRegInfo(),
      prefs.lmiInfo(),
      prefs.proxySettings(),
      prefs.keepAliveSettings(),
      prefs.upTimeSettings(),
      prefs.setupVerCheckSettings(),
      prefs.dataPostSettings(),
      prefs.cleanupSettings(),
      prefs.scriptEngineSettings(),
      prefs.gatewaySettings(),
      prefs.scriptSettingsCommunicator(),
  };
  for (const brim::SettingsSection* section : sections) appendSection(out, section);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  brim::fuzz::useScratchInstallation();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = brim::GlobalPreferences::settingsFilePath();
  if (!brim::fuzz::writeBytes(path, bytes)) std::abort();

  brim::GlobalPreferences first;
  brim::GlobalPreferences::setStaticInstance(first);
  const bool written = brim::GlobalPreferences::saveGlobalPreferences(first);
  // Nothing to write back: a file that is not a property-list dictionary.
  if (written != (first.allSettingsDict() != nullptr)) std::abort();
  if (!written) return 0;
  const std::optional<std::string> writtenFile = brim::FileSystem::readFile(path);
  if (!writtenFile) std::abort();

  brim::GlobalPreferences reloaded;
  brim::GlobalPreferences::setStaticInstance(reloaded);
  if (loaded(reloaded) != loaded(first)) std::abort();
  if (!brim::GlobalPreferences::saveGlobalPreferences(reloaded)) std::abort();
  if (brim::FileSystem::readFile(path) != writtenFile) std::abort();
  return 0;
}
