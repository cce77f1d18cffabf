#include "config/DataPostSettings.h"

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = DataPostSettings;
const SectionField<S> kFields[] = {
    field::digits(S::numberOfFilesToSendDictKey, &S::numberOfFilesToSend),
    field::digits(S::datesBeforeErrorDictKey, &S::datesBeforeError),
};
}  // namespace

bool DataPostSettings::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("DataPostSettings", "initWithDictionary:"), nullptr,
                       {});
  return dict != nullptr;
}

Plist DataPostSettings::dictionary() const { return writeSectionFields<S>(*this, kFields, asRead_.get(), {}); }

}  // namespace brim
