#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "config/SettingsSection.h"

namespace brim {

// "machineinfo": the machine's registration record, as this tool uses it. The
// other fields are carried for the write-back.
class MachineInfoSettings {
 public:
  explicit MachineInfoSettings(SettingsSection& section) : section_(section) {}

  const std::optional<std::string>& machineName() const;
  void setMachineName(std::optional<std::string> name);
  int64_t dcRegId() const;  // 0: not registered
  const std::optional<std::string>& agentType() const;

 private:
  SettingsSection& section_;
};

}  // namespace brim
