#include "config/DCRegURLSettings.h"

namespace brim {

const std::vector<SectionField<DCRegURLSettings>>& DCRegURLSettings::fields() {
  using S = DCRegURLSettings;
  static const auto rows =
      siteFields<S>(&S::primarySiteEncrp, &S::secondarySiteEncrp, S::encrytionDictKey, &S::encrytion);
  return rows;
}

bool DCRegURLSettings::initWithDictionary(plist_t dict) {
  loadSite(fields(), dict, Sig::instance("DCRegURLSettings", "initWithDictionary:"));
  return true;
}

Plist DCRegURLSettings::dictionary() const { return writeSite(fields()); }

}  // namespace brim
