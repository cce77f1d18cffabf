#include "inspect/Installation.h"

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include "config/GlobalPreferences.h"
#include "config/SettingsLayout.h"
#include "platform/Paths.h"

namespace brim::inspect {

bool readsACopy() { return !Paths::sandboxRoot().empty(); }

RootedTree installation() { return RootedTree(readsACopy() ? Paths::sandboxRoot() : std::string("/")); }

std::string rooted(const std::string& path) {
  const std::string& root = Paths::sandboxRoot();
  if (!root.empty() && path.compare(0, root.size() + 1, root + "/") == 0) return path;
  return Paths::fixed(path);
}

void loadPreferences(GlobalPreferences& prefs, plist_t settings) {
  for (const SectionTable& table : kSettingsLayout) {
    plist_t dict = plistDictItem(settings, table.key);
    if (SettingsSection* section = prefs.section(table.key)) {
      section->initWithDictionary(dict && plist_get_node_type(dict) == PLIST_DICT ? dict : nullptr);
    }
  }
}

Plist readDictionaryFile(const RootedTree& tree, const std::string& path, std::string& why) {
  const std::optional<std::string> text = tree.readFile(path, why);
  if (!text) return nullptr;
  Plist file = parsePlist(*text);
  if (file && plist_get_node_type(file.get()) == PLIST_DICT) return file;
  why = path + " cannot be read as a property-list dictionary";
  return nullptr;
}

Check ok(std::string name, std::string detail) { return {Check::Status::OK, std::move(name), std::move(detail), {}}; }
Check warn(std::string name, std::string detail, std::string advice) {
  return {Check::Status::WARN, std::move(name), std::move(detail), std::move(advice)};
}
Check failed(std::string name, std::string detail, std::string advice) {
  return {Check::Status::FAIL, std::move(name), std::move(detail), std::move(advice)};
}

void forEachEntry(plist_t dict, const std::function<void(const std::string& key, plist_t value)>& visit) {
  plist_dict_iter raw = nullptr;
  plist_dict_new_iter(dict, &raw);
  const std::unique_ptr<void, decltype(&std::free)> it(raw, &std::free);
  for (;;) {
    char* rawKey = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dict, it.get(), &rawKey, &value);
    const std::unique_ptr<char, decltype(&std::free)> key(rawKey, &std::free);
    if (!key) break;
    visit(key.get(), value);
  }
}

}  // namespace brim::inspect
