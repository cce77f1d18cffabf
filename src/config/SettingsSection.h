#pragma once
// The protocol every section of the settings file follows: a top-level key,
// fixed key names per field, filled from a section dictionary, rebuilt into one.
#include <string_view>

#include "platform/Plist.h"

namespace brim {

class SettingsSection {
 public:
  virtual ~SettingsSection() = default;

  virtual std::string_view dictKey() const = 0;
  // Fills the value fields from dict (null when the file has no such section).
  // Returns false when this class gives no section for an absent dictionary.
  virtual bool initWithDictionary(plist_t dict) = 0;
  // A new section dictionary built from the value fields; a null field leaves its key out.
  virtual Plist dictionary() const = 0;
};

}  // namespace brim
