#include "config/MacFolderSettings.h"

#include "config/SectionFields.h"
#include "platform/Text.h"

namespace brim {
namespace {
using S = MacFolderSettings;
const SectionField<S> kFields[] = {
    field::text(S::agentInstallPathAbsDictKey, &S::agentInstallPathAbs),
    field::text(S::configDirectRelativeDictKey, &S::configDirectRelative),
    field::text(S::downloadDirRelativeDictKey, &S::downloadDirRelative),
    field::text(S::executableDirRelativeDictKey, &S::executableDirRelative),
    field::text(S::tempDirRelativeDictKey, &S::tempDirRelative),
    field::text(S::dataPostDirRelativeDictKey, &S::dataPostDirRelative),
    field::text(S::dataDirRelativeDictKey, &S::dataDirRelative),
    field::text(S::libDirRelativeDictKey, &S::libDirRelative),
    field::text(S::logDirRelativeDictKey, &S::logDirRelative),
};
}  // namespace

bool MacFolderSettings::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields, dict, asRead_, Sig::instance("MacFolderSettings", "initWithDictionary:"),
                       nullptr, {});
  return true;
}

Plist MacFolderSettings::dictionary() const { return writeSectionFields<S>(*this, kFields, asRead_.get(), {}); }

std::string MacFolderSettings::folder(const std::optional<std::string>& relative) const {
  return orNull(agentInstallPathAbs) + "/" + orNull(relative);
}

}  // namespace brim
