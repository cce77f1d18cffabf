#include "config/MachineInfoSettings.h"

#include "platform/CustomLogger.h"
#include "config/SectionFields.h"

namespace brim {
namespace {
using S = MachineInfoSettings;
const SectionField<S> kFields[] = {
    field::text(S::machineNameDictKey, &S::machineName),
    field::text(S::logonNameDictKey, &S::logonName),
    field::integer(S::dcRegIdDictKey, &S::dcRegId),
    field::integer(S::keepAliveIntervalMinutesDictKey, &S::keepAliveIntervalMinutes),
    field::text(S::agentTypeDictKey, &S::agentType),
    field::text(S::installDateDictKey, &S::installDate),
    field::text(S::updatedonDictKey, &S::updatedon),
    field::text(S::sitecodeDictKey, &S::sitecode),
    field::text(S::siteNameDictKey, &S::siteName),
    field::text(S::memberNameDictKey, &S::memberName),
    field::text(S::HDpasswdupdatedonDictKey, &S::HDpasswdupdatedon),
};
}  // namespace

bool MachineInfoSettings::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("MachineInfoSettings", "initWithDictionary:"),
                       nullptr, {});
  return true;
}

Plist MachineInfoSettings::dictionary() const {
  logAt(Sig::instance("MachineInfoSettings", "dictionary"), "In DICT");
  return writeSectionFields<S>(*this, kFields, asRead_.get(), {});
}

}  // namespace brim
