#include "config/MachineInfoSettings.h"

#include "config/SettingsLayout.h"

namespace brim {
namespace {
constexpr const SectionTable& kTable = settingsTable("machineinfo");
}  // namespace

const std::optional<std::string>& MachineInfoSettings::machineName() const {
  return section_.value(kTable.field("machinename")).text;
}

void MachineInfoSettings::setMachineName(std::optional<std::string> name) {
  section_.value(kTable.field("machinename")).text = std::move(name);
}

int64_t MachineInfoSettings::dcRegId() const { return section_.value(kTable.field("dcregid")).integer; }

const std::optional<std::string>& MachineInfoSettings::agentType() const {
  return section_.value(kTable.field("agenttype")).text;
}

}  // namespace brim
