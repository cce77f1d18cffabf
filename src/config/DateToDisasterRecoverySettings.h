#pragma once
#include "config/SettingsSection.h"

namespace brim {

// "datatodisasterrecovery": the switch that sends the direct reports to the
// disaster-recovery site of their web post.
class DateToDisasterRecoverySettings {
 public:
  explicit DateToDisasterRecoverySettings(const SettingsSection& section) : section_(section) {}

  bool reportToDR() const;

 private:
  const SettingsSection& section_;
};

}  // namespace brim
