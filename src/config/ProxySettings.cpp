#include "config/ProxySettings.h"

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = ProxySettings;
const SectionField<S> kFields[] = {
    field::text(S::proxyIPDictKey, &S::proxyIP),
    field::integer(S::proxyPortDictKey, &S::proxyPort),
    field::reencrypted(S::proxyUserNameDictKey, &S::proxyUserName),
    field::reencrypted(S::proxyPasswordDictKey, &S::proxyPassword),
};
}  // namespace

ProxySettings::ProxySettings() : keyString(sharedPassPhrase()) {}

bool ProxySettings::initWithDictionary(plist_t dict) {
  EncryptionAES cipher;  // one cipher object per load
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("ProxySettings", "initWithDictionary:"), &cipher,
                       keyString);
  return true;
}

Plist ProxySettings::dictionary() const { return writeSectionFields<S>(*this, kFields, asRead_.get(), keyString); }

}  // namespace brim
