#include "inventory/collectData.h"

#include <utility>
#include <vector>

#include "config/GlobalPreferences.h"
#include "config/RunFolder.h"
#include "inventory/CategoryReaders.h"
#include "inventory/CategoryTables.h"
#include "inventory/CategoryWalker.h"
#include "inventory/InventoryCategories.h"
#include "inventory/ProfilerReports.h"
#include "inventory/ProfilerRun.h"
#include "inventory/ProfilerValues.h"
#include "platform/CustomLogger.h"
#include "platform/Signature.h"
#include "platform/Text.h"

namespace brim {
using namespace tables;
using namespace walker;

namespace {

// dataDir: the run's own folder under "<agentInstallPathAbs>/<tempDirRelative>".
std::string temporaryDirectory() { return RunFolder::path(); }

}  // namespace

collectData::collectData() : collectData(std::make_shared<ProfilerReports>()) {}

collectData::collectData(std::shared_ptr<ProfilerReports> reports)
    : dataDir(temporaryDirectory()), reports_(std::move(reports)) {}

XMLTree collectData::collect(const CategoryView& category) { return category.collect(*this); }

void collectData::appendCategory(const CategoryView& category, std::string& documentText) {
  category.append(*this, documentText);
}

// ---------------------------------------------------------------------------
// Records for the direct status reports.
// ---------------------------------------------------------------------------

SystemInfo collectData::getMacDetailsData() {
  dataDir = temporaryDirectory();
  SystemInfo record;
  const auto& software = categoryOf<SystemInfo>();
  ProfilerRun run(dataDir, software.dataType, kMacDetailsFileName);
  // Every item writes into the one record: the last one's values remain.
  for (plist_t item : elementsOf(run.items())) fill(*this, record, software.fields, item);
  checkMacNameInSettingsPlist(record);
  return record;
}

void collectData::checkMacNameInSettingsPlist(const SystemInfo& info) {
  constexpr auto kSig = Sig::instance("collectData", "checkMacNameInSettingsPlist:");
  GlobalPreferences& prefs = GlobalPreferences::getSharedInstance();
  MachineInfoSettings machine = prefs.machineInfo();
  if (machine.machineName() && machine.machineName() == info.compName) {
    logAt(kSig, "No Change in Mac Name");
    return;
  }
  logAt(kSig, "Mac Name Chnaged");
  // A profiler that reports no name says nothing about the machine's name:
  // the stored one is better than none.
  if (!info.compName) {
    logAt(kSig, "No local host name reported; machine name " + orNull(machine.machineName()) + " kept");
    return;
  }
  machine.setMachineName(info.compName);
  GlobalPreferences::saveGlobalPreferences(prefs);
}

DiskInfo collectData::getDiskDetails() {
  logAt(Sig::instance("collectData", "getDiskDetails"), "getDiskInfo");
  DiskInfo record;
  const auto& disk = categoryOf<DiskInfo>();
  ProfilerRun run(dataDir, disk.dataType, disk.fileName);
  const auto controllers = elementsOf(run.items());
  if (!controllers.empty()) {
    fill(*this, record, kSmartControllerFields, controllers.front());
    fill(*this, record, kSmartDriveFields, readers::firstDriveOf(controllers.front()));
  }
  return record;
}

}  // namespace brim
