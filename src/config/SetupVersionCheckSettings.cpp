#include "config/SetupVersionCheckSettings.h"

namespace brim {

bool SetupVersionCheckSettings::initWithDictionary(plist_t dict) {
  loadSite(fields(), dict, Sig::instance("SetupVersionCheckSettings", "initWithDictionary:"));
  return true;
}

}  // namespace brim
