#include "config/UpTimeSettings.h"

namespace brim {

bool UpTimeSettings::initWithDictionary(plist_t dict) {
  loadSite(fields(), dict, Sig::instance("UpTimeSettings", "initWithDictionary:"));
  return true;
}

}  // namespace brim
