#pragma once
#include <cstdint>

#include "config/SettingsSection.h"

namespace brim {

// "cleanupsettings": when the agent deletes old data and how large its log and
// sample database may grow. A file without this section gives no section at all.
class CleanupSettings : public SettingsSection {
 public:
  std::string_view dictKey() const override { return "cleanupsettings"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view daysToDeleteDataDictKey = "daystodeletedata";
  static constexpr std::string_view daysToDeleteDatpostErrorDictKey = "daystodeletedatapost";
  static constexpr std::string_view logFileSizeLimitMBDictKey = "logfilemaxsizeinmb";
  static constexpr std::string_view rssDBFileSizeLimitMBDictKey = "rssdbmaxsizeinmb";

  int64_t daysToDeleteData = 0;
  int64_t daysToDeleteDatpostError = 0;
  int64_t logFileSizeLimitMB = 0;
  int64_t rssDBFileSizeLimitMB = 0;
};

}  // namespace brim
