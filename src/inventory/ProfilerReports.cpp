#include "inventory/ProfilerReports.h"

#include "inventory/InventoryCategories.h"
#include "platform/CustomLogger.h"

namespace brim {

ProfilerReports::ProfilerReports() {
  for (const CategoryView& category : inventoryCategories()) expect(category.dataType);
}

void ProfilerReports::expect(std::string_view dataType) {
  auto at = planned_.find(dataType);
  if (at == planned_.end()) at = planned_.emplace(std::string(dataType), Planned{}).first;
  ++at->second.readersLeft;
}

ProfilerReports::Report ProfilerReports::open(const Sig& reader, const std::optional<std::string>& dataDir,
                                              std::string_view dataType, std::string_view fileName) {
  const auto at = planned_.find(dataType);
  Report report;
  if (at != planned_.end() && at->second.report) {
    logAt(reader, {"system_profiler ", dataType, ": reusing the report read earlier in this run"});
    report = at->second.report;
  } else {
    report = std::make_shared<const ProfilerRun>(dataDir, dataType, fileName);
  }
  if (at != planned_.end()) {
    Planned& planned = at->second;
    if (planned.readersLeft > 0) --planned.readersLeft;
    planned.report = planned.readersLeft > 0 ? report : nullptr;
  }
  return report;
}

}  // namespace brim
