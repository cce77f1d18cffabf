#include "config/ScriptEngineSettings.h"

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = ScriptEngineSettings;
const SectionField<S> kFields[] = {
    field::encrypted(S::requestScriptDictKey, &S::requestScriptEncrp, &S::requestScript),
    field::encrypted(S::statusSiteDictKey, &S::statusSiteEncrp, &S::statusSite),
};
}  // namespace

ScriptEngineSettings::ScriptEngineSettings() : keyStringToDecrypt(sharedPassPhrase()) {}

void ScriptEngineSettings::load(plist_t dict, const Sig& sig) {
  loadSectionFields<S>(*this, kFields, dict, asRead_, sig, &encrypter, keyStringToDecrypt);
}

bool ScriptEngineSettings::initWithDictionary(plist_t dict) {
  load(dict, Sig::instance("ScriptEngineSettings", "initWithDictionary:"));
  return true;
}

Plist ScriptEngineSettings::dictionary() const { return writeSectionFields<S>(*this, kFields, asRead_.get(), {}); }

}  // namespace brim
