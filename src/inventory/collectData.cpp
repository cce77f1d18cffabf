#include "inventory/collectData.h"

#include <utility>
#include <vector>

#include "config/GlobalPreferences.h"
#include "config/RunFolder.h"
#include "inventory/CategoryTables.h"
#include "inventory/CategoryWalker.h"
#include "inventory/ProfilerReports.h"
#include "inventory/ProfilerRun.h"
#include "inventory/ProfilerValues.h"
#include "platform/CustomLogger.h"
#include "platform/Description.h"
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

// ---------------------------------------------------------------------------
// The categories of one record per item.
// ---------------------------------------------------------------------------

XMLTree collectData::getHardwareInfo() { return collectOneLevel(*this, hardware::kCategory); }
XMLTree collectData::getFirewallInfo() { return collectOneLevel(*this, firewall::kCategory); }
XMLTree collectData::getSelfTestInfo() { return collectOneLevel(*this, selftest::kCategory); }
XMLTree collectData::getSharedVolInfo() { return collectOneLevel(*this, sharedvol::kCategory); }
XMLTree collectData::getEthernetInfo() { return collectOneLevel(*this, ethernet::kCategory); }
XMLTree collectData::getOSInfo() { return collectOneLevel(*this, thunderbolt::kCategory); }
XMLTree collectData::getBlueToothHardWareInfo() { return collectOneLevel(*this, blthhardware::kCategory); }

XMLTree collectData::getCardreaderInfo() { return collectOneLevel(*this, cardreader::kCategory, "count:"); }
XMLTree collectData::getNetwokInfo() { return collectOneLevel(*this, network::kCategory, "network count:"); }
XMLTree collectData::getApplicationInfo() {
  return collectOneLevel(*this, applications::kCategory, applications::kCountLabel);
}

void collectData::appendCategory(XMLTree (collectData::*operation)(), std::string& documentText) {
  if (operation == &collectData::getApplicationInfo) {
    writeOneLevel(*this, applications::kCategory, applications::kCountLabel, documentText);
  } else {
    (this->*operation)().appendRootText(documentText);
  }
}

XMLTree collectData::getDiscBurninginfo() {
  const Sig sig = signatureOf(discburning::kCategory.operation);
  return collectOneLevel(*this, discburning::kCategory, "disc count:", [&sig](plist_t item) {
    logAt(sig, "discBurnDataDictionary " + describe(item));
  });
}

XMLTree collectData::getSystemInfo() {
  // The time zone is not the profiler's: it is worked out afresh for each record.
  return collectOneLevel(*this, software::kCategory, {}, nullptr, [](XMLTree& tree) {
    tree.addChildNodeWithCDATAToCurrentNodeWithName(SystemInfo::systemTimeZone, SystemInfo::timeZone());
  });
}

// ---------------------------------------------------------------------------
// The categories whose shape differs.
// ---------------------------------------------------------------------------

XMLTree collectData::getMemoryInfo() {
  using memory::kCategory;
  ProfilerReports::Report run = startCategory(*this, kCategory);
  std::vector<MemoryInfo> groups;
  for (plist_t groupItem : elementsOf(run->items())) {
    MemoryInfo& group = groups.emplace_back();
    for (plist_t moduleItem : elementsOf(valueAt(groupItem, "_items"))) {
      fill(*this, group.memArray.emplace_back(), kCategory.fields, moduleItem);
    }
    fill(*this, group, memory::kGroupFields, groupItem);
  }
  run.reset();

  // Modules are numbered within their group, and a record is entered by the
  // first "dtl" carrying its number: a second group's modules therefore land
  // in the first group's elements, as the agent's server has always seen it.
  XMLTree tree = categoryTree(kCategory.name);
  for (const MemoryInfo& group : groups) {
    for (std::size_t j = 0; j < group.memArray.size(); ++j) {
      enterNumbered(tree, "dtl", j);
      writeFields(tree, group, memory::kGroupFields);
      writeFields(tree, group.memArray[j], kCategory.fields);
      tree.jumpToParent();
    }
  }
  return tree;
}

XMLTree collectData::getPowerInfo() {
  using power::kCategory;
  ProfilerReports::Report run = startCategory(*this, kCategory);
  std::optional<PowerInfo> record;
  const auto items = elementsOf(run->items());
  if (!items.empty()) {
    record.emplace();
    record->powerType = keyAt(items[0], 1);
    fill(*this, *record, kCategory.fields, items[0]);
  }
  run.reset();
  return singleRecordTree(kCategory.name, record, kCategory.fields);
}

XMLTree collectData::getHWConfigInfo() {
  using ups::kCategory;
  ProfilerReports::Report run = startCategory(*this, kCategory);
  std::optional<HardwareConfig> record;
  const auto items = elementsOf(run->items());
  if (items.size() >= 2) fill(*this, record.emplace(), kCategory.fields, items[1]);
  run.reset();
  return singleRecordTree(kCategory.name, record, kCategory.fields);
}

XMLTree collectData::getDiskInfo() {
  using disk::kCategory;
  ProfilerReports::Report run = startCategory(*this, kCategory);
  std::vector<DiskInfo> disks;
  for (plist_t controller : elementsOf(run->items())) {
    DiskInfo& info = disks.emplace_back();
    // Only the first drive of a controller is reported.
    const auto drives = elementsOf(valueAt(controller, "_items"));
    plist_t drive = drives.empty() ? nullptr : drives.front();
    for (plist_t volume : elementsOf(valueAt(drive, "volumes"))) {
      fill(*this, info.diskVolArray.emplace_back(), disk::kVolumeFields, volume);
    }
    fill(*this, info, kCategory.fields, controller);
    fill(*this, info, disk::kDriveFields, drive);
  }
  run.reset();

  XMLTree tree = categoryTree(kCategory.name);
  writeRecords<DiskInfo>(tree, disks, kCategory.fields, [&tree](const DiskInfo& info) {
    writeFields(tree, info, disk::kDriveFields);
    writeSubRecords(tree, "vol", info.diskVolArray, disk::kVolumeFields);
  });
  return tree;
}

XMLTree collectData::getLocationsInfo() {
  using locations::kCategory;
  ProfilerReports::Report run = startCategory(*this, kCategory);
  std::vector<NetworkLocations> locationRecords;
  for (plist_t locationItem : elementsOf(run->items())) {
    NetworkLocations& location = locationRecords.emplace_back();
    fill(*this, location, kCategory.fields, locationItem);
    for (plist_t serviceItem : elementsOf(valueAt(locationItem, "spnetworklocation_services"))) {
      NetworkLocations& service = location.locSerArray.emplace_back();
      fill(*this, service, locations::kServiceFields, serviceItem);
      // The wireless name is the service dictionary's own second key, taken
      // only when the service has wireless settings at all.
      plist_t wireless = valueAt(serviceItem, "IEEE80211");
      if (wireless && plist_get_node_type(wireless) == PLIST_DICT && plist_dict_get_size(wireless) > 0) {
        service.ieeeName = keyAt(serviceItem, 1);
      }
    }
  }
  run.reset();

  // Every location writes its own "fnname" and "dtl" at the current node and
  // stays inside that "dtl": a second location nests inside the first, which
  // is the form the agent's server has always received.
  XMLTree tree("fn");
  for (const NetworkLocations& location : locationRecords) {
    tree.addChildNodeToCurrentNodeWithName("fnname", std::string(kCategory.name));
    enterUnnumberedRecord(tree);
    writeFields(tree, location, kCategory.fields);
    writeSubRecords(tree, "services", location.locSerArray, locations::kServiceFields);
  }
  return tree;
}

XMLTree collectData::getGraphicInfo() {
  using graphics::kCategory;
  ProfilerReports::Report run = startCategory(*this, kCategory);
  std::vector<GraphicInfo> cards;
  for (plist_t cardItem : elementsOf(run->items())) {
    GraphicInfo& card = cards.emplace_back();
    for (plist_t displayItem : elementsOf(valueAt(cardItem, "spdisplays_ndrvs"))) {
      fill(*this, card.displayArray.emplace_back(), graphics::kDisplayFields, displayItem);
    }
    fill(*this, card, kCategory.fields, cardItem);
  }
  run.reset();

  XMLTree tree = categoryTree(kCategory.name);
  writeRecords<GraphicInfo>(tree, cards, kCategory.fields, [&tree](const GraphicInfo& card) {
    writeSubRecords(tree, "dispconn", card.displayArray, graphics::kDisplayFields);
  });
  return tree;
}

XMLTree collectData::getBlueToothServices() {
  using blthservices::kCategory;
  const Sig sig = signatureOf(kCategory.operation);
  ProfilerReports::Report run = startCategory(*this, kCategory);
  const auto services = collectNamedEntries(*this, *run, kCategory, "services_title",
                                            &BlueToothServices::blueToothServicesSvcname, [&sig] { logAt(sig, "2"); });
  run.reset();

  XMLTree tree = categoryTree(kCategory.name);
  for (std::size_t i = 0; i < services.size(); ++i) {
    logAt(sig, "3");
    enterNumbered(tree, "dtl", i);
    writeFields(tree, services[i], kCategory.fields);
    tree.jumpToParent();
  }
  return tree;
}

XMLTree collectData::getBlueToothDevices() {
  using blthdevices::kCategory;
  ProfilerReports::Report run = startCategory(*this, kCategory);
  const auto devices =
      collectNamedEntries(*this, *run, kCategory, "device_title", &BlueToothDevices::blueToothDevicesDvcname);
  if (run->arrayNotEmpty()) logCount(kCategory.operation, "blueToothDevArray ", devices.size());
  run.reset();

  XMLTree tree = categoryTree(kCategory.name);
  writeRecords(tree, devices, kCategory.fields);
  return tree;
}

XMLTree collectData::getUSBInfo() {
  using usb::kCategory;
  ProfilerReports::Report run = startCategory(*this, kCategory);
  if (run->arrayNotEmpty()) logCount(kCategory.operation, "bus count:", run->itemCount());
  std::vector<USBBus> buses;
  for (plist_t busItem : elementsOf(run->items())) {
    USBBus& bus = buses.emplace_back();
    // The devices reported are the second level below the bus; the first
    // level (hubs and the like) and anything deeper are not.
    for (plist_t firstLevel : elementsOf(valueAt(busItem, "_items"))) {
      const auto secondLevel = elementsOf(valueAt(firstLevel, "_items"));
      logCount(kCategory.operation, "device count:", secondLevel.size());
      for (plist_t deviceItem : secondLevel)
        fill(*this, bus.devicesArray.emplace_back(), usb::kDeviceFields, deviceItem);
    }
    fill(*this, bus, kCategory.fields, busItem);
  }
  run.reset();

  XMLTree tree = categoryTree(kCategory.name);
  writeRecords<USBBus>(tree, buses, kCategory.fields, [&tree](const USBBus& bus) {
    writeSubRecords(tree, "usbdevices", bus.devicesArray, usb::kDeviceFields);
  });
  return tree;
}

// ---------------------------------------------------------------------------
// Records for the direct status reports.
// ---------------------------------------------------------------------------

SystemInfo collectData::getMacDetailsData() {
  dataDir = temporaryDirectory();
  SystemInfo record;
  ProfilerRun run(dataDir, software::kCategory.dataType, software::kMacDetailsFileName);
  // Every item writes into the one record: the last one's values remain.
  for (plist_t item : elementsOf(run.items())) fill(*this, record, software::kCategory.fields, item);
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
  ProfilerRun run(dataDir, disk::kCategory.dataType, disk::kCategory.fileName);
  const auto controllers = elementsOf(run.items());
  if (!controllers.empty()) {
    const auto drives = elementsOf(valueAt(controllers.front(), "_items"));
    fill(*this, record, disk::kSmartControllerFields, controllers.front());
    fill(*this, record, disk::kSmartDriveFields, drives.empty() ? nullptr : drives.front());
  }
  return record;
}

}  // namespace brim
