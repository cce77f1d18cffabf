#include "config/GlobalPreferences.h"

#include <algorithm>
#include <mutex>
#include <numeric>

#include "config/SettingsLayout.h"
#include "platform/CustomLogger.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace brim {
namespace {

bool isDictionary(plist_t node) { return node && plist_get_node_type(node) == PLIST_DICT; }

// Positions in the layout, in the order a load fills the sections.
const std::vector<size_t>& loadOrder() {
  static const std::vector<size_t> order = [] {
    std::vector<size_t> indexes(std::size(kSettingsLayout));
    std::iota(indexes.begin(), indexes.end(), 0);
    std::stable_sort(indexes.begin(), indexes.end(),
                     [](size_t a, size_t b) { return kSettingsLayout[a].loadRank < kSettingsLayout[b].loadRank; });
    return indexes;
  }();
  return order;
}

// The position of a section that every load keeps; checked at compile time.
consteval size_t keptSection(std::string_view key) {
  const size_t index = settingsSectionIndex(key).value();
  if (kSettingsLayout[index].absentWithoutDictionary) throw "a section that may be absent has no view";
  return index;
}

}  // namespace

GlobalPreferences::GlobalPreferences() {
  sections_.reserve(std::size(kSettingsLayout));
  for (const SectionTable& table : kSettingsLayout) {
    sections_.push_back({std::make_unique<SettingsSection>(table)});
  }
}

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
  for (size_t index : loadOrder()) {
    Entry& entry = instance.sections_[index];
    const std::string_view key = entry.section->dictKey();
    plist_t dict = plistDictItem(root, key);
    if (dict && !isDictionary(dict)) {
      logAt(sig, "\"" + std::string(key) + "\" is not a dictionary; read as absent and kept as it is");
      dict = nullptr;
    }
    entry.present = entry.section->initWithDictionary(dict);
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
  for (const Entry& entry : instance.sections_) {
    const SettingsSection& section = *entry.section;
    // Sections never written back, absent ones, and root entries that are not
    // section dictionaries stay as the file had them.
    if (section.table().writeBack == WriteBack::Never || !entry.present) continue;
    const std::string key(section.dictKey());
    plist_t asRead = plistDictItem(root, key);
    if (asRead && !isDictionary(asRead)) continue;
    Plist rebuilt = section.dictionary();
    if (!rebuilt) continue;
    plist_dict_set_item(root, key.c_str(), rebuilt.release());
  }
  if (!writePlistFileAtomically(path, root)) {
    logAt(sig, "cannot write settings file " + path + ": " + FileSystem::lastFailure());
    return false;
  }
  return true;
}

SettingsSection* GlobalPreferences::section(std::string_view key) const {
  const std::optional<size_t> index = settingsSectionIndex(key);
  if (!index || !sections_[*index].present) return nullptr;
  return sections_[*index].section.get();
}

SettingsSection& GlobalPreferences::sectionAt(size_t index) const { return *sections_[index].section; }

MachineInfoSettings GlobalPreferences::machineInfo() const {
  return MachineInfoSettings(sectionAt(keptSection("machineinfo")));
}
MacFolderSettings GlobalPreferences::macFodler() const {
  return MacFolderSettings(sectionAt(keptSection("macfolders")));
}
ControllerInfoSettings GlobalPreferences::controllerInfo() const {
  return ControllerInfoSettings(sectionAt(keptSection("controllerinfo")));
}
DateToDisasterRecoverySettings GlobalPreferences::disasterInfo() const {
  return DateToDisasterRecoverySettings(sectionAt(keptSection("datatodisasterrecovery")));
}
ProxySettings GlobalPreferences::proxySettings() const {
  return ProxySettings(sectionAt(keptSection("proxysettings")));
}

}  // namespace brim
