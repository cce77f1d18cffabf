#include "config/XmppRegisterInfo.h"

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = XmppRegisterInfo;
const SectionField<S> kFields[] = {
    field::text(S::domainNameDictKey, &S::domainName),
    field::text(S::passwordDictKey, &S::password),
    field::text(S::primaryJidDictKey, &S::primaryJid),
    field::text(S::primaryServerDictKey, &S::primaryServer),
    field::integer(S::primaryRetryCountDictKey, &S::primaryRetryCount),
    field::integer(S::primaryXmppTimeOutDictKey, &S::primaryXmppTimeOut),
    field::integer(S::primaryRetryDelayDictKey, &S::primaryRetryDelay).notWrittenBack(),
    field::integer(S::primaryXmppPortDictKey, &S::primaryXmppPort),
    field::encrypted(S::primaryAgentStatusInfoUrlDictKey, &S::primaryAgentStatusInfoUrlEnryp,
                     &S::primaryAgentStatusInfoUrl),
    field::text(S::secondaryJidDictKey, &S::secondaryJid),
    field::text(S::secondaryServerDictKey, &S::secondaryServer),
    field::integer(S::secondaryRetryCountDictKey, &S::secondaryRetryCount),
    field::integer(S::secondaryXmppTimeOutDictKey, &S::secondaryXmppTimeOut),
    field::integer(S::secondaryRetryDelayDictKey, &S::secondaryRetryDelay).notWrittenBack(),
    field::integer(S::secondaryXmppPortDictKey, &S::secondaryXmppPort),
    field::encrypted(S::secondaryAgentStatusInfoUrlDictKey, &S::secondaryAgentStatusInfoUrlEnryp,
                     &S::secondaryAgentStatusInfoUrl),
};
}  // namespace

XmppRegisterInfo::XmppRegisterInfo() : keyStringToDecrypt(sharedPassPhrase()) {}

bool XmppRegisterInfo::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("XmppRegisterInfo", "initWithDictionary:"),
                       &encrypter, keyStringToDecrypt);
  return true;
}

Plist XmppRegisterInfo::dictionary() const { return writeSectionFields<S>(*this, kFields, asRead_.get(), {}); }

}  // namespace brim
