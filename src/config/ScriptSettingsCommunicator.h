#pragma once
#include "config/ScriptEngineSettings.h"

namespace brim {

// "scriptsettingscommunicator": the communicator's script sites, laid out as "scriptsettings".
class ScriptSettingsCommunicator : public ScriptEngineSettings {
 public:
  std::string_view dictKey() const override { return "scriptsettingscommunicator"; }
  bool initWithDictionary(plist_t dict) override;
};

}  // namespace brim
