#include "config/XmppRegURLSettings.h"

namespace brim {

const std::vector<SectionField<XmppRegURLSettings>>& XmppRegURLSettings::fields() {
  using S = XmppRegURLSettings;
  static const auto rows = [] {
    auto all = siteFields<S>(&S::primarySiteEncryp, &S::secondarySiteEncryp, S::encryptionDictKey, &S::encryption);
    all.push_back(field::text<S>(S::regIDDictKey, &S::regID).in(S::getDataDictKey));
    all.push_back(field::text<S>(S::agentTypeDictKey, &S::agentType).in(S::getDataDictKey));
    return all;
  }();
  return rows;
}

bool XmppRegURLSettings::initWithDictionary(plist_t dict) {
  loadSite(fields(), dict, Sig::instance("XmppRegURLSettings", "initWithDictionary:"));
  return true;
}

Plist XmppRegURLSettings::dictionary() const { return writeSite(fields()); }

}  // namespace brim
