#include "config/ScriptSettingsCommunicator.h"

namespace brim {

bool ScriptSettingsCommunicator::initWithDictionary(plist_t dict) {
  load(dict, Sig::instance("ScriptSettingsCommunicator", "initWithDictionary:"));
  return true;
}

}  // namespace brim
