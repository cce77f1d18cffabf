#include "config/UninstallSettings.h"

namespace brim {

const std::vector<SectionField<UninstallSettings>>& UninstallSettings::fields() {
  using S = UninstallSettings;
  static const auto rows = [] {
    auto all = siteFields<S>(&S::primarySiteEncrp, &S::secondarySiteEncrp, S::encryptionDictKey, &S::encryption);
    all.push_back(field::text<S>(S::regIDDictKey, &S::regID).in(S::getDataDictKey));
    all.push_back(field::text<S>(S::agentTypeDictKey, &S::agentType).in(S::getDataDictKey));
    all.push_back(field::text<S>(S::executePathRelativeDictKey, &S::executePathRelative));
    all.push_back(field::text<S>(S::silentCommandLineArgDictKey, &S::silentCommandLineArg));
    return all;
  }();
  return rows;
}

bool UninstallSettings::initWithDictionary(plist_t dict) {
  loadSite(fields(), dict, Sig::instance("UninstallSettings", "initWithDictionary:"));
  return true;
}

Plist UninstallSettings::dictionary() const { return writeSite(fields()); }

}  // namespace brim
