#include "config/CleanupSettings.h"

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = CleanupSettings;
const SectionField<S> kFields[] = {
    field::digits(S::daysToDeleteDataDictKey, &S::daysToDeleteData),
    field::digits(S::daysToDeleteDatpostErrorDictKey, &S::daysToDeleteDatpostError),
    field::digits(S::logFileSizeLimitMBDictKey, &S::logFileSizeLimitMB),
    field::digits(S::rssDBFileSizeLimitMBDictKey, &S::rssDBFileSizeLimitMB),
};
}  // namespace

bool CleanupSettings::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("CleanupSettings", "initWithDictionary:"), nullptr,
                       {});
  return dict != nullptr;
}

Plist CleanupSettings::dictionary() const { return writeSectionFields<S>(*this, kFields, asRead_.get(), {}); }

}  // namespace brim
