#include "config/MacAgentUpdateSettings.h"

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = MacAgentUpdateSettings;
const SectionField<S> kFields[] = {
    field::encrypted(S::primarySiteDictKey, &S::primarySiteEncrp, &S::primarySite),
    field::encrypted(S::statusSiteDictKey, &S::statusSiteEncrp, &S::statusSite),
    field::encrypted(S::DownLoadSiteDictKey, &S::downloadsiteEncrp, &S::downloadsite),
    field::integer(S::CheckforupdateDictKey, &S::checkforUpdates),
};
}  // namespace

MacAgentUpdateSettings::MacAgentUpdateSettings() : keyStringToDecrypt(sharedPassPhrase()) {}

bool MacAgentUpdateSettings::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("MacAgentUpdateSettings", "initWithDictionary:"),
                       &encrypter, keyStringToDecrypt);
  return true;
}

Plist MacAgentUpdateSettings::dictionary() const { return writeSectionFields<S>(*this, kFields, asRead_.get(), {}); }

}  // namespace brim
