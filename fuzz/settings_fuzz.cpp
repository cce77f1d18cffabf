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
#include "config/GlobalPreferences.h"
#include "config/SettingsLayout.h"
#include "platform/FileSystem.h"
#include "platform/Plist.h"

namespace {

// What a load made of the file: every field of every section of the layout.
std::string loaded(const brim::GlobalPreferences& prefs) {
  std::string out;
  for (const brim::SectionTable& table : brim::kSettingsLayout) {
    out += table.key;
    out += '\n';
    const brim::SettingsSection* section = prefs.section(table.key);
    if (!section) {
      out += "(no section)\n";
      continue;
    }
    for (size_t i = 0; i < table.fields.size(); ++i) {
      const brim::FieldValue& value = section->value(i);
      out += value.text.value_or("(null)") + '|' + value.stored.value_or("(null)") + '|' +
             std::to_string(value.integer) + '|' + (value.flag ? "1" : "0") + '|' +
             (value.dictionary ? brim::plistToXml(value.dictionary.get()) : "(null)") + '\n';
    }
  }
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
