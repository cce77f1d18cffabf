#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "config/SettingsSection.h"
#include "envelope/EncryptionAES.h"

namespace brim {

// "xmppreginfo": the machine's messaging account and servers. Only the two
// status addresses are stored encrypted; the password is stored plain.
class XmppRegisterInfo : public SettingsSection {
 public:
  XmppRegisterInfo();
  std::string_view dictKey() const override { return "xmppreginfo"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view domainNameDictKey = "domainname";
  static constexpr std::string_view passwordDictKey = "passwd";
  static constexpr std::string_view primaryJidDictKey = "primaryjid";
  static constexpr std::string_view primaryServerDictKey = "primaryserver";
  static constexpr std::string_view primaryRetryCountDictKey = "primaryretrycount";
  static constexpr std::string_view primaryXmppTimeOutDictKey = "primaryxmpptimeout";
  static constexpr std::string_view primaryRetryDelayDictKey = "primaryretrydelay";
  static constexpr std::string_view primaryXmppPortDictKey = "primaryxmppport";
  static constexpr std::string_view primaryAgentStatusInfoUrlDictKey = "primaryagentstatusinfourl";
  static constexpr std::string_view secondaryJidDictKey = "secondaryjid";
  static constexpr std::string_view secondaryServerDictKey = "secondaryserver";
  static constexpr std::string_view secondaryRetryCountDictKey = "secondaryretrycount";
  static constexpr std::string_view secondaryXmppTimeOutDictKey = "secondaryxmpptimeout";
  static constexpr std::string_view secondaryRetryDelayDictKey = "secondaryretrydelay";
  static constexpr std::string_view secondaryXmppPortDictKey = "secondaryxmppport";
  static constexpr std::string_view secondaryAgentStatusInfoUrlDictKey = "secondaryagentstatusinfourl";

  std::optional<std::string> domainName;
  std::optional<std::string> password;
  std::optional<std::string> primaryJid;
  std::optional<std::string> primaryServer;
  int64_t primaryRetryCount = 0;
  int64_t primaryXmppTimeOut = 0;
  int64_t primaryRetryDelay = 0;  // read, never written
  int64_t primaryXmppPort = 0;
  std::optional<std::string> primaryAgentStatusInfoUrlEnryp;
  std::optional<std::string> primaryAgentStatusInfoUrl;
  std::optional<std::string> secondaryJid;
  std::optional<std::string> secondaryServer;
  int64_t secondaryRetryCount = 0;
  int64_t secondaryXmppTimeOut = 0;
  int64_t secondaryRetryDelay = 0;  // read, never written
  int64_t secondaryXmppPort = 0;
  std::optional<std::string> secondaryAgentStatusInfoUrlEnryp;
  std::optional<std::string> secondaryAgentStatusInfoUrl;

 private:
  EncryptionAES encrypter;
  std::string keyStringToDecrypt;
};

}  // namespace brim
