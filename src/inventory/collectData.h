#pragma once
// The collector of the inventory categories (InventoryCategories.h) and of
// the records the direct status reports take from the profiler.
#include <plist/plist.h>

#include <memory>
#include <optional>
#include <string>

#include "envelope/XMLTree.h"
#include "inventory/Category.h"
#include "inventory/DiskInfo.h"
#include "inventory/RecordValue.h"
#include "inventory/SystemInfo.h"

namespace brim {

class ProfilerReports;
struct CategoryView;

class collectData {
 public:
  // dataDir = "<agentInstallPathAbs>/<tempDirRelative>" of the shared settings.
  // The categories read the profiler's reports through the run's reports;
  // without them, through the collector's own.
  collectData();
  explicit collectData(std::shared_ptr<ProfilerReports> reports);

  // One category's subtree ("fn" with "fnname" and its records).
  XMLTree collect(const CategoryView& category);
  // The same category appended to the text of a document being written
  // (XMLTree::appendOpeningText), as the document's child: the text of its
  // subtree, which is not kept once written. A streaming category (the
  // applications) is written record by record as its report is read, so
  // that no list of them is held beside the document.
  void appendCategory(const CategoryView& category, std::string& documentText);

  // Records for the direct status reports. getMacDetailsData also brings the
  // machine name in the settings file up to date.
  SystemInfo getMacDetailsData();
  void checkMacNameInSettingsPlist(const SystemInfo& info);
  // The first drive of the first Serial-ATA controller.
  DiskInfo getDiskDetails();
  // Every pair of consecutive blanks removed, left to right: three become one.
  static RecordValue checkforExtraspace(const RecordValue& text);

  // A size such as "8 GB" or "256 KB" as a number of bytes ("8589934592"):
  // the leading integer of the text before the unit, fractions dropped. Each
  // of KB, MB, GB, TB found in the text replaces byteValueInString in turn; a
  // text holding none of them returns whatever the last conversion left there.
  // An absent text yields "0".
  RecordValue byteValue(const RecordValue& text);
  // A property-list date as "yyyy-MM-dd HH:mm:ss" in the system time zone;
  // absent for a missing value or one that is not a date.
  RecordValue date(plist_t value) const;
  // A value read from the profiler, converted as a field's table says.
  RecordValue convert(plist_t value, Conversion conv);

  // The temporary folder the profiler output goes to.
  std::optional<std::string> dataDir;
  // The result of the last byteValue(); kept for the collector's lifetime.
  RecordValue byteValueInString;

  ProfilerReports& profilerReports() const { return *reports_; }

 private:
  std::shared_ptr<ProfilerReports> reports_;
};

}  // namespace brim
