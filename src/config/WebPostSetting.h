#pragma once
#include <optional>
#include <string>

#include "config/SettingsSection.h"
#include "platform/Plist.h"

namespace brim {

class GlobalPreferences;

// One HTTP destination of the web-post file: up to three sites (stored
// encrypted), its envelope flags and the names of its query parameters.
class WebPostSetting {
 public:
  WebPostSetting();

  // Fills the setting from a web-post dictionary; false when it is absent.
  bool initWithDictionary(plist_t dict);
  // The query string that identifies this machine to the server ("" when the
  // web post names no parameter), with the values of the shared settings store.
  std::string GETDataURLSubString() const;
  std::string GETDataURLSubString(const GlobalPreferences& prefs) const;

  // Decrypted sites; their stored cipher texts under the same key.
  const std::optional<std::string>& primarySite() const;
  const std::optional<std::string>& secondarySite() const;
  const std::optional<std::string>& disasterRecovery() const;
  const std::optional<std::string>& storedSite(std::string_view key) const;
  bool compression() const;
  bool encryption() const;
  bool encryptXMLRootTag() const;
  // Every value read, by key ("getdata/memberid" for the query parameter names).
  const SettingsSection& fields() const { return fields_; }

 private:
  SettingsSection fields_;
};

}  // namespace brim
