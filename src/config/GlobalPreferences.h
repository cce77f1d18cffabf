#pragma once
// The process-wide store of the settings file: the root dictionary as read and
// one section per entry of the settings layout. Sections stay the same objects
// across reloads, so references held elsewhere stay valid.
//
// A write-back rebuilds each section the layout marks so on top of the
// dictionary it read, so keys a section reads but does not write, or does not
// know, survive. The root entry of a section the file lacked (for the sections
// that then give none) or that was not a dictionary stays as it was, and so do
// root entries the layout does not know.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/ControllerInfoSettings.h"
#include "config/DateToDisasterRecoverySettings.h"
#include "config/MacFolderSettings.h"
#include "config/MachineInfoSettings.h"
#include "config/ProxySettings.h"
#include "config/SettingsSection.h"
#include "platform/Plist.h"

namespace brim {

class GlobalPreferences {
 public:
  GlobalPreferences();  // init: one section of each table of the layout, values null, 0 or false
  ~GlobalPreferences();
  GlobalPreferences(const GlobalPreferences&) = delete;
  GlobalPreferences& operator=(const GlobalPreferences&) = delete;

  static GlobalPreferences& getSharedInstance();
  static void setStaticInstance(GlobalPreferences& instance);  // (re)load from the settings file
  static bool saveGlobalPreferences(GlobalPreferences& instance);
  // The settings file's path (a fixed path; under the sandbox root in tests).
  static std::string settingsFilePath();

  // The section under a top-level key; null for a key the layout does not know,
  // and for a section that gives none when the file lacks its dictionary.
  SettingsSection* section(std::string_view key) const;
  // The sections this tool acts on, under their own names.
  MachineInfoSettings machineInfo() const;
  MacFolderSettings macFodler() const;
  ControllerInfoSettings controllerInfo() const;
  DateToDisasterRecoverySettings disasterInfo() const;
  ProxySettings proxySettings() const;

  // The whole root dictionary as last read; null when the file was missing or not a dictionary.
  plist_t allSettingsDict() const { return allSettingsDict_.get(); }

 private:
  struct Entry {
    std::unique_ptr<SettingsSection> section;
    bool present = true;
  };
  SettingsSection& sectionAt(size_t index) const;

  // One entry per table of the layout, in its order.
  std::vector<Entry> sections_;
  Plist allSettingsDict_;
};

}  // namespace brim
