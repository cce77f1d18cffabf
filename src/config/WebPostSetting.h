#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "envelope/EncryptionAES.h"
#include "platform/Plist.h"

namespace brim {

class GlobalPreferences;

// One HTTP destination of the web-post file: up to three sites (stored
// encrypted), its envelope flags and the names of its query parameters.
class WebPostSetting {
 public:
  WebPostSetting();
  WebPostSetting(const WebPostSetting&) = delete;
  WebPostSetting& operator=(const WebPostSetting&) = delete;

  // Fills the setting from a web-post dictionary; false when it is absent.
  bool initWithDictionary(plist_t dict);
  // The query string that identifies this machine to the server ("" when the
  // web post names no parameter), with the values of the shared settings store.
  std::string GETDataURLSubString() const;
  std::string GETDataURLSubString(const GlobalPreferences& prefs) const;

  static constexpr std::string_view primarySiteDictKey = "primarysite";
  static constexpr std::string_view secondarySiteDictKey = "secondarysite";
  static constexpr std::string_view disasterRecoveryDictKey = "disasterrecovery";
  static constexpr std::string_view compressionDictKey = "compression";
  static constexpr std::string_view encryptionDictKey = "encryption";
  static constexpr std::string_view encryptXMLRootTagDictKey = "encryptxmlroottag";
  static constexpr std::string_view getDataDictKey = "getdata";
  static constexpr std::string_view memberIDDictKey = "memberid";
  static constexpr std::string_view siteIDDictKey = "siteid";
  static constexpr std::string_view regIDDictKey = "regid";
  static constexpr std::string_view agentTypeDictKey = "agenttype";
  static constexpr std::string_view otherDictKey = "other";

  std::optional<std::string> primarySiteEncrp;
  std::optional<std::string> primarySite;
  std::optional<std::string> secondarySiteEncrp;
  std::optional<std::string> secondarySite;
  std::optional<std::string> disasterRecoveryEncrp;
  std::optional<std::string> disasterRecovery;
  bool compression = false;
  bool encryption = false;
  bool encryptXMLRootTag = false;
  Plist getData;
  std::optional<std::string> memberID;
  std::optional<std::string> siteID;
  std::optional<std::string> regID;
  std::optional<std::string> agentType;
  std::optional<std::string> other;

 private:
  EncryptionAES encrypter;
  std::string keyStringToDecrypt;
  Plist asRead_;
};

}  // namespace brim
