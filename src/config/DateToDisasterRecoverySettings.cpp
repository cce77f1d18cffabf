#include "config/DateToDisasterRecoverySettings.h"

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = DateToDisasterRecoverySettings;
const SectionField<S> kFields[] = {
    field::flag(S::reportToDRDictKey, &S::reportToDR),
    field::text(S::dataToDRSiteDictKey, &S::dataToDRSite),
    field::flag(S::dataDRsiteWithEncryptDictKey, &S::dataDRsiteWithEncrypt),
    field::text(S::checkForDRDictKey, &S::checkForDR),
};
}  // namespace

bool DateToDisasterRecoverySettings::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields, dict, asRead_,
                       Sig::instance("DateToDisasterRecoverySettings", "initWithDictionary:"), nullptr, {});
  return true;
}

Plist DateToDisasterRecoverySettings::dictionary() const {
  return writeSectionFields<S>(*this, kFields, asRead_.get(), {});
}

}  // namespace brim
