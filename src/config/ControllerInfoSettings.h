#pragma once
#include <cstdint>

#include "config/SettingsSection.h"

namespace brim {

// "controllerinfo": the member and site ids that identify the machine in web-post queries.
class ControllerInfoSettings {
 public:
  explicit ControllerInfoSettings(const SettingsSection& section) : section_(section) {}

  int64_t memberId() const;
  int64_t siteId() const;

 private:
  const SettingsSection& section_;
};

}  // namespace brim
