#include "config/LmiInfoSettings.h"

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = LmiInfoSettings;
const SectionField<S> kFields[] = {
    field::encrypted(S::permissionReqSiteDictKey, &S::permissionReqSiteEncrp, &S::permissionReqSite),
    field::encrypted(S::installStatusSiteDictKey, &S::installStatusSiteEncrp, &S::installStatusSite),
    field::encrypted(S::registerationSiteDictKey, &S::registerationSiteEncrp, &S::registerationSite),
    field::encrypted(S::uninstallSiteDictKey, &S::uninstallSiteEncrp, &S::uninstallSite),
    field::dictionary(S::getDataDictKey, &S::getData),
    field::text(S::memberIDDictKey, &S::memberID).in(S::getDataDictKey),
    field::text(S::siteIDDictKey, &S::siteID).in(S::getDataDictKey),
    field::text(S::regIDDictKey, &S::regID).in(S::getDataDictKey),
    field::text(S::agentTypeDictKey, &S::agentType).in(S::getDataDictKey),
};
}  // namespace

LmiInfoSettings::LmiInfoSettings() : keyStringToDecrypt(sharedPassPhrase()) {}

bool LmiInfoSettings::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("LmiInfoSettings", "initWithDictionary:"),
                       &encrypter, keyStringToDecrypt);
  return dict != nullptr;
}

Plist LmiInfoSettings::dictionary() const { return writeSectionFields<S>(*this, kFields, asRead_.get(), {}); }

}  // namespace brim
