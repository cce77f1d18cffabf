#include "config/ControllerInfoSettings.h"

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = ControllerInfoSettings;
const SectionField<S> kFields[] = {
    field::integer(S::versionNumberDictKey, &S::versionNumber),
    field::integer(S::minVersionDictKey, &S::minVersion),
    field::integer(S::memberIdDictKey, &S::memberId),
    field::integer(S::siteIdDictKey, &S::siteId),
};
}  // namespace

bool ControllerInfoSettings::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("ControllerInfoSettings", "initWithDictionary:"),
                       nullptr, {});
  return true;
}

Plist ControllerInfoSettings::dictionary() const { return writeSectionFields<S>(*this, kFields, asRead_.get(), {}); }

}  // namespace brim
