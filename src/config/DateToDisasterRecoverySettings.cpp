#include "config/DateToDisasterRecoverySettings.h"

#include "config/SettingsLayout.h"

namespace brim {

bool DateToDisasterRecoverySettings::reportToDR() const {
  return section_.value(settingsTable("datatodisasterrecovery").field("reporttodr")).flag;
}

}  // namespace brim
