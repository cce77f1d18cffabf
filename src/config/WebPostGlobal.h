#pragma once
#include <memory>
#include <string>

#include "config/WebPostSetting.h"

namespace brim {

// Looks web posts up by name in the web-post file, which the agent's other
// components rewrite at will: it is read afresh at every lookup.
class WebPostGlobal {
 public:
  // Null when the file cannot be read or holds no web post of that name.
  static std::unique_ptr<WebPostSetting> getWebPostSettingForName(const std::string& name);
};

}  // namespace brim
