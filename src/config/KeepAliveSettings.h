#pragma once
#include <cstdint>

#include "config/SiteSettings.h"

namespace brim {

// "keepalive": where and how often the agent reports that it is alive. A file
// without this section gives no section at all.
class KeepAliveSettings : public SiteSettings {
 public:
  std::string_view dictKey() const override { return "keepalive"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view encrytionDictKey = "encryption";
  static constexpr std::string_view regIDDictKey = "regid";
  static constexpr std::string_view agentTypeDictKey = "agenttype";
  static constexpr std::string_view intervalDictKey = "interval";
  static constexpr std::string_view dataRecoverySiteDictKey = "datarecoverysite";

  std::optional<std::string> primarySiteEncrp;
  std::optional<std::string> secondarySiteEncrp;
  bool encrytion = false;
  std::optional<std::string> regID;
  std::optional<std::string> agentType;
  int64_t interval = 0;
  std::optional<std::string> dataRecoverySite;  // stored plain; read, never written

 protected:
  static const std::vector<SectionField<KeepAliveSettings>>& fields();
};

}  // namespace brim
