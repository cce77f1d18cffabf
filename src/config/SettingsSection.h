#pragma once
// One section of the settings file (or one entry of the web-post file), read and
// written through its table: a value per field, filled from a section
// dictionary and rebuilt into one.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/SectionFields.h"
#include "platform/Plist.h"

namespace brim {

struct FieldValue {
  std::optional<std::string> text;    // a string; the decrypted text of an encrypted field
  std::optional<std::string> stored;  // the cipher text of an encrypted field, as read
  int64_t integer = 0;
  bool flag = false;
  Plist dictionary;
};

class SettingsSection {
 public:
  explicit SettingsSection(const SectionTable& table);

  const SectionTable& table() const { return *table_; }
  std::string_view dictKey() const { return table_->key; }

  // Fills every field from dict (null when the file has no such section: every
  // value null, 0 or false), decrypting with the shared pass phrase. Returns false
  // when the table gives no section for an absent dictionary.
  bool initWithDictionary(plist_t dict);
  // Writes into dict (the section's dictionary as the file holds it now) every
  // written-back field that changed since it was read, set from its value (or
  // removed when it is null); nothing else of dict changes, so keys the section
  // does not write, and what another component wrote meanwhile, stay. A field
  // that still holds what the stored value reads as is no change: a digit
  // string stays a string, a cipher text made with another pass phrase stays as
  // it was, a missing key stays missing. Sections written back as read or never
  // change nothing.
  void writeChangesInto(plist_t dict) const;

  FieldValue& value(size_t field) { return values_[field]; }
  const FieldValue& value(size_t field) const { return values_[field]; }
  // The value of the field path names ("key", "block/key"); null when the table has none.
  const FieldValue* find(std::string_view path) const;
  FieldValue* find(std::string_view path);

 private:
  const SectionTable* table_;
  std::vector<FieldValue> values_;
  Plist asRead_;  // the section dictionary as last read (null when absent)
};

}  // namespace brim
