#pragma once
#include <optional>
#include <string>

#include "config/SettingsSection.h"

namespace brim {

// "datatodisasterrecovery": the switch that sends the direct reports to the
// disaster-recovery site of their web post.
class DateToDisasterRecoverySettings : public SettingsSection {
 public:
  std::string_view dictKey() const override { return "datatodisasterrecovery"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view reportToDRDictKey = "reporttodr";
  static constexpr std::string_view dataToDRSiteDictKey = "datadrsite";
  static constexpr std::string_view dataDRsiteWithEncryptDictKey = "datadrsitewithencryption";
  static constexpr std::string_view checkForDRDictKey = "checkfordr";

  bool reportToDR = false;
  std::optional<std::string> dataToDRSite;  // stored plain
  bool dataDRsiteWithEncrypt = false;
  std::optional<std::string> checkForDR;
};

}  // namespace brim
