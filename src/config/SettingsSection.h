#pragma once
// The protocol every section of the settings file follows: a top-level key,
// fixed key names per field, filled from a section dictionary, rebuilt into one.
#include <string_view>

#include "platform/Plist.h"

namespace brim {

class SettingsSection {
 public:
  SettingsSection() = default;
  virtual ~SettingsSection() = default;
  SettingsSection(const SettingsSection&) = delete;
  SettingsSection& operator=(const SettingsSection&) = delete;

  virtual std::string_view dictKey() const = 0;
  // Fills the value fields from dict (null when the file has no such section).
  // Returns false when this class gives no section for an absent dictionary.
  virtual bool initWithDictionary(plist_t dict) = 0;
  // A new section dictionary built from the value fields; a null field leaves its key out.
  // Keys of the dictionary read that the section does not write are carried over,
  // so that a write-back loses nothing the agent's other components put there.
  virtual Plist dictionary() const = 0;

 protected:
  // The section dictionary as last read (null when absent).
  Plist asRead_;
};

}  // namespace brim
