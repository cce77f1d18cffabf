#include "config/KeepAliveSettings.h"

namespace brim {

const std::vector<SectionField<KeepAliveSettings>>& KeepAliveSettings::fields() {
  using S = KeepAliveSettings;
  static const auto rows = [] {
    auto all = siteFields<S>(&S::primarySiteEncrp, &S::secondarySiteEncrp, S::encrytionDictKey, &S::encrytion);
    all.push_back(field::text<S>(S::regIDDictKey, &S::regID).in(S::getDataDictKey));
    all.push_back(field::text<S>(S::agentTypeDictKey, &S::agentType).in(S::getDataDictKey));
    all.push_back(field::integer<S>(S::intervalDictKey, &S::interval));
    all.push_back(field::text<S>(S::dataRecoverySiteDictKey, &S::dataRecoverySite).notWrittenBack());
    return all;
  }();
  return rows;
}

bool KeepAliveSettings::initWithDictionary(plist_t dict) {
  loadSite(fields(), dict, Sig::instance("KeepAliveSettings", "initWithDictionary:"));
  return dict != nullptr;
}

Plist KeepAliveSettings::dictionary() const { return writeSite(fields()); }

}  // namespace brim
