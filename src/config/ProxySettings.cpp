#include "config/ProxySettings.h"

#include "config/SettingsLayout.h"

namespace brim {
namespace {
constexpr const SectionTable& kTable = settingsTable("proxysettings");
}  // namespace

const std::optional<std::string>& ProxySettings::proxyIP() const {
  return section_.value(kTable.field("proxyip")).text;
}
int64_t ProxySettings::proxyPort() const { return section_.value(kTable.field("proxyport")).integer; }
const std::optional<std::string>& ProxySettings::proxyUserName() const {
  return section_.value(kTable.field("proxyusername")).text;
}
const std::optional<std::string>& ProxySettings::proxyPassword() const {
  return section_.value(kTable.field("proxypassword")).text;
}

}  // namespace brim
