#include "config/GlobalPreferences.h"

#include <algorithm>
#include <mutex>
#include <numeric>

#include "config/SettingsLayout.h"
#include "platform/CustomLogger.h"
#include "platform/FileReplacement.h"
#include "platform/Paths.h"
#include "platform/TrustedPath.h"

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

// The settings file's root dictionary; null, and logged, when the file is
// missing, refused, unreadable or holds something else.
Plist readSettingsFile(const Sig& sig) {
  const std::string path = GlobalPreferences::settingsFilePath();
  std::string refused;
  Plist root = readTrustedPlistFile(path, refused);
  if (!root) {
    logAt(sig,
          refused.empty() ? "cannot read settings file " + path : "settings file " + path + " not read: " + refused);
  } else if (!isDictionary(root.get())) {
    logAt(sig, "settings file " + path + " does not hold a dictionary");
    root.reset();
  }
  return root;
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
  instance.allSettingsDict_ = readSettingsFile(sig);
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
  const std::string path = settingsFilePath();
  if (!instance.allSettingsDict_) {
    logAt(sig, "no settings were read; " + path + " left as it is");
    return false;
  }
  // The file as it is now, not as this run read it: what another component
  // changed meanwhile stays, and only what this run changed is written into
  // it. A change that comes between this read and the rename is read and
  // merged again, never reverted; a file that keeps changing is left to its writer.
  constexpr int kMergeTries = 8;
  const std::string name = path.substr(path.rfind('/') + 1);
  for (int attempt = 0; attempt < kMergeTries; ++attempt) {
    // Root writes the file back only into a folder root alone can change, and
    // renames in the folder it checked, whatever its path names meanwhile.
    std::string why;
    const std::optional<TrustedFolder> folder = TrustedFolder::open(path.substr(0, path.rfind('/')), why);
    const std::optional<FileReplacement::Stamp> read = folder ? FileReplacement::stampOf(*folder, name) : std::nullopt;
    Plist now = readSettingsFile(sig);
    if (!now) {
      logAt(sig, path + " left as it is");
      return false;
    }
    if (!folder) {
      logAt(sig, "cannot write settings file " + path + ": " + why);
      return false;
    }
    if (FileReplacement::stampOf(*folder, name) != read) continue;  // rewritten while it was read
    for (const Entry& entry : instance.sections_) {
      const SettingsSection& section = *entry.section;
      // Sections never written back, and sections or root entries the file
      // does not hold as dictionaries now, stay as the file has them.
      if (section.table().writeBack != WriteBack::Rebuilt || !entry.present) continue;
      plist_t current = plistDictItem(now.get(), section.dictKey());
      if (isDictionary(current)) section.writeChangesInto(current);
    }
    const std::string text = plistToXml(now.get());
    const FileReplacement::Outcome replaced = text.empty()
                                                  ? FileReplacement::Outcome::Failed
                                                  : FileReplacement::replaceIfUnchanged(*folder, name, text, read, why);
    if (replaced == FileReplacement::Outcome::Changed) continue;
    if (replaced == FileReplacement::Outcome::Failed) {
      logAt(sig, "cannot write settings file " + path + ": " + why);
      return false;
    }
    instance.allSettingsDict_ = std::move(now);
    return true;
  }
  logAt(sig, path + " changed by another writer " + std::to_string(kMergeTries) +
                 " times while it was merged; left as it is");
  return false;
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
