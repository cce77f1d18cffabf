#include "config/WebPostSetting.h"

#include "config/ControllerInfoSettings.h"
#include "config/GlobalPreferences.h"
#include "config/SectionFields.h"

namespace brim {
namespace {
using S = WebPostSetting;
const SectionField<S> kFields[] = {
    field::encrypted(S::primarySiteDictKey, &S::primarySiteEncrp, &S::primarySite),
    field::encrypted(S::secondarySiteDictKey, &S::secondarySiteEncrp, &S::secondarySite),
    field::encrypted(S::disasterRecoveryDictKey, &S::disasterRecoveryEncrp, &S::disasterRecovery),
    field::flag(S::compressionDictKey, &S::compression),
    field::flag(S::encryptionDictKey, &S::encryption),
    field::flag(S::encryptXMLRootTagDictKey, &S::encryptXMLRootTag),
    field::dictionary(S::getDataDictKey, &S::getData),
    field::text(S::memberIDDictKey, &S::memberID).in(S::getDataDictKey),
    field::text(S::siteIDDictKey, &S::siteID).in(S::getDataDictKey),
    field::text(S::regIDDictKey, &S::regID).in(S::getDataDictKey),
    field::text(S::agentTypeDictKey, &S::agentType).in(S::getDataDictKey),
    field::text(S::otherDictKey, &S::other).in(S::getDataDictKey),
};

bool named(const std::optional<std::string>& name) { return name && !name->empty(); }
}  // namespace

WebPostSetting::WebPostSetting() : keyStringToDecrypt(sharedPassPhrase()) {}

bool WebPostSetting::initWithDictionary(plist_t dict) {
  if (!dict) return false;
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("WebPostSetting", "initWithDictionary:"),
                       &encrypter, keyStringToDecrypt);
  return true;
}

std::string WebPostSetting::GETDataURLSubString() const {
  return GETDataURLSubString(GlobalPreferences::getSharedInstance());
}

std::string WebPostSetting::GETDataURLSubString(const GlobalPreferences& prefs) const {
  std::string query;
  auto append = [&query](const std::string& parameter) {
    query += query.empty() ? '?' : '&';
    query += parameter;
  };
  const ControllerInfoSettings& controller = *prefs.controllerInfo();
  const MachineInfoSettings& machine = prefs.machineInfo();
  if (named(memberID)) append(*memberID + "=" + std::to_string(controller.memberId));
  if (named(siteID)) append(*siteID + "=" + std::to_string(controller.siteId));
  if (named(regID)) append(*regID + "=" + std::to_string(machine.dcRegId));
  // A machine without an agent type still names the parameter, with an empty value.
  if (named(agentType)) append(*agentType + "=" + machine.agentType.value_or(""));
  if (encryption) append("ec=256");
  if (named(other)) append(*other);
  return query;
}

}  // namespace brim
