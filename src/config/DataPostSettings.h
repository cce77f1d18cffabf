#pragma once
#include <cstdint>

#include "config/SettingsSection.h"

namespace brim {

// "datapostsettings": how the upload component treats the data-post folder.
// A file without this section gives no section at all.
class DataPostSettings : public SettingsSection {
 public:
  std::string_view dictKey() const override { return "datapostsettings"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view numberOfFilesToSendDictKey = "filestosendatexec";
  static constexpr std::string_view datesBeforeErrorDictKey = "movetoerrordays";

  int64_t numberOfFilesToSend = 0;
  int64_t datesBeforeError = 0;
};

}  // namespace brim
