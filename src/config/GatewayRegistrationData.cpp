#include "config/GatewayRegistrationData.h"

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = GatewayRegistrationData;
const SectionField<S> kFields[] = {
    field::text(S::ipAddressKey, &S::ipAddress),       field::integer(S::portNumberKey, &S::portNumber),
    field::text(S::tpFolderNameKey, &S::tpFolderName), field::text(S::agentFolderNameKey, &S::agentFolderName),
    field::text(S::avFolderNameKey, &S::avFolderName), field::text(S::updatedOnKey, &S::updatedOn),
};
}  // namespace

bool GatewayRegistrationData::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("GatewayRegistrationData", "initWithDictionary:"),
                       nullptr, {});
  return true;
}

Plist GatewayRegistrationData::dictionary() const { return writeSectionFields<S>(*this, kFields, asRead_.get(), {}); }

}  // namespace brim
