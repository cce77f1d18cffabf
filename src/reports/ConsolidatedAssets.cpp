#include "reports/ConsolidatedAssets.h"

#include <memory>
#include <vector>

#include "config/DateToDisasterRecoverySettings.h"
#include "config/GlobalPreferences.h"
#include "config/ProxySettings.h"
#include "config/RunFolder.h"
#include "config/SectionFields.h"
#include "config/WebPostGlobal.h"
#include "config/WebPostSetting.h"
#include "envelope/DirectReports.h"
#include "envelope/ReportEnvelope.h"
#include "envelope/XMLTree.h"
#include "inventory/DiskInfo.h"
#include "inventory/InventoryCategories.h"
#include "inventory/ProfilerReports.h"
#include "inventory/ProfilerRun.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"
#include "net/Reachability.h"
#include "net/ReportDelivery.h"
#include "platform/CustomLogger.h"
#include "platform/DateTime.h"
#include "platform/FileSystem.h"
#include "platform/LogWording.h"
#include "platform/Plist.h"
#include "platform/ShellCommand.h"
#include "platform/Text.h"
#include "procmon/CollectProcessesData.h"

namespace brim {
namespace {

constexpr auto kInit = Sig::instance("ConsolidatedAssets", "init");

// The first item's "machine_name" of a hardware profile: absent when the file
// holds no item, "(null)" when the item has no name.
std::optional<std::string> modelNameFromProfile(const ProfilerRun& profile) {
  plist_t items = profile.items();
  if (!items || plist_get_node_type(items) != PLIST_ARRAY || plist_array_get_size(items) == 0) return std::nullopt;
  return orNull(plistString(plistDictItem(plist_array_get_item(items, 0), "machine_name")));
}

// The machine's registration id in decimal, as every document and file name carries it.
std::string regIdText() { return std::to_string(GlobalPreferences::getSharedInstance().machineInfo().dcRegId()); }

}  // namespace

ConsolidatedAssets::ConsolidatedAssets() : profilerReports_(std::make_shared<ProfilerReports>()) {
  const MacFolderSettings folders = GlobalPreferences::getSharedInstance().macFodler();
  // The full inventory's hardware category reads the same report.
  const CategoryView& hardware = *categoryNamed("hardwareinfo");
  profilerReports_->expect(hardware.dataType);
  const std::optional<std::string> modelName =
      modelNameFromProfile(*profilerReports_->open(kInit, RunFolder::path(), hardware.dataType, hardware.fileName));
  if (modelName) logAt(kInit, "modelName=" + *modelName);
  std::string why;
  const std::optional<TrustedFolder> dataDir = folders.writableFolder(folders.dataDirRelative(), why);
  if (!dataDir) logAt(kInit, "data folder not used: " + why);
  if (modelName && dataDir) {
    const std::string month = monthYearForPerfLogFile();
    // The model name is the profiler's to say: one folder of the data folder, whatever it says.
    const std::string model = asFolderName(*modelName);
    const std::string base = dataDir->path() + "/" + model + "/" + month;
    perfLogDir = base + "/GPM";
    procLogDir = base + "/PRS";
    logAt(kInit, "direct " + *perfLogDir);
    std::optional<TrustedFolder> monthDir = dataDir->enter(model, why, true);
    if (monthDir) monthDir = monthDir->enter(month, why, true);
    std::optional<TrustedFolder> perf = monthDir ? monthDir->enter("GPM", why, true) : std::nullopt;
    if (!perf) logAt(kInit, "cannot create " + *perfLogDir + ": " + why);
    std::optional<TrustedFolder> proc = monthDir ? monthDir->enter("PRS", why, true) : std::nullopt;
    if (proc) {
      procLogFolder_ = std::make_shared<const TrustedFolder>(std::move(*proc));
    } else {
      logAt(kInit, "cannot create " + *procLogDir + ": " + why);
    }
  }
}

// ---------------------------------------------------------------------------
// Inventory documents.

void ConsolidatedAssets::collectData() {
  assetString1 = inventoryDocument(kHardwareInventoryType, categoriesOf(Document::Hardware));
  // The log line is followed by an empty line.
  logAt(Sig::instance("ConsolidatedAssets", "collectData"), {"assetString=", *assetString1, "\n"});
}

void ConsolidatedAssets::collectSWData() {
  assetString2 = inventoryDocument(kSoftwareInventoryType, categoriesOf(Document::Software));
  logAt(Sig::instance("ConsolidatedAssets", "collectSWData"), {"assetString=", *assetString2});
}

std::string ConsolidatedAssets::inventoryDocument(std::string_view type, std::span<const CategoryView> categories) {
  XMLTree document(kInventoryRoot);
  document.addChildNodeToCurrentNodeWithName("type", std::string(type));
  document.addChildNodeToCurrentNodeWithName("regid", regIdText());
  document.addChildNodeToCurrentNodeWithName("scandttime", todayStringWithTimeZone());

  // Each category goes into the document's text as soon as it is built, the
  // text addChildTree would have given: no category is held as a tree beside
  // the document, and none is copied.
  std::string text;
  document.appendOpeningText(text, true);
  brim::collectData collector(profilerReports_);
  for (const CategoryView& category : categories) collector.appendCategory(category, text);
  document.appendClosingText(text);
  return text;
}

// ---------------------------------------------------------------------------
// Direct status reports.

void ConsolidatedAssets::collectSmartStatus() {
  brim::collectData collector;
  const DiskInfo disk = collector.getDiskDetails();
  postReport(LogWording::kSmartStatus, kSmartStatusReport,
             reportTree<kSmartStatusReport>(
                 element<"regid">(regIdText()),
                 element<"scandttime">(DateTime::dateStringOf(DateTime::now(), kSmartStatusTimeFormat)),
                 element<"modelname">(disk.model), element<"modeldesc">(disk.description),
                 element<"bsdname">(disk.diskBSDName), element<"status">(disk.smartStatus)));
}

void ConsolidatedAssets::collectMacDetails() {
  // The Wi-Fi address is asked for only when the Ethernet one is missing.
  static constexpr const char* kEthernetAddress =
      "system_profiler SPNetworkDataType | grep -A3 Ethernet | awk '/IPv4 Address/ { print $3 }'";
  static constexpr const char* kWiFiAddress =
      "system_profiler SPNetworkDataType | grep -A6 Wi-Fi | awk '/IPv4 Address/ { print $3 }'";
  brim::collectData collector;
  const SystemInfo system = collector.getMacDetailsData();
  std::string address = ShellCommand::executeCommand(kEthernetAddress, ShellCommand::Limit::Profiler);
  if (address.empty()) address = ShellCommand::executeCommand(kWiFiAddress, ShellCommand::Limit::Profiler);

  postReport(LogWording::kMachineDetails, kMachineDetailsReport,
             reportTree<kMachineDetailsReport>(element<"regid">(regIdText()), element<"resourcename">(system.compName),
                                               element<"os">(system.systemVer), element<"osversion">(system.kernelVer),
                                               element<"ip">(address)));
}

void ConsolidatedAssets::postReport(const Sig& sig, const DirectReport& declared, const XMLTree& report) {
  assetString2 = report.XMLString();
  const std::unique_ptr<WebPostSetting> webPost =
      WebPostGlobal::getWebPostSettingForName(std::string(declared.webPost()));
  const std::optional<std::string> response = sendXML(report, webPost.get(), sharedPassPhrase());
  reportDelivered = response.has_value();
  if (response && !response->empty()) {
    logAt(sig, "Response is = " + *response);
  } else {
    logAt(sig, LogWording::kNoResponse);
  }
}

std::optional<std::string> ConsolidatedAssets::sendXML(const XMLTree& document, const WebPostSetting* webPost,
                                                       const std::string& key) {
  constexpr auto kSig = Sig::instance("ConsolidatedAssets", "sendXML:toWebPost:withEncryptionKey:");
  // Without a web post every flag reads false and there is no site.
  static const WebPostSetting kNoWebPost;
  const WebPostSetting& destination = webPost ? *webPost : kNoWebPost;
  const GlobalPreferences& prefs = GlobalPreferences::getSharedInstance();

  std::string text = document.XMLString();
  logAt(kSig, "xml string = " + text);
  const std::optional<std::string> envelope =
      envelopeReport(std::move(text),
                     {destination.compression(), destination.encryption(), destination.encryptXMLRootTag()}, key, kSig);
  if (!envelope) {
    logAt(kSig, "commResponse=(null)");
    return std::nullopt;
  }
  const ProxySettings proxy = prefs.proxySettings();
  const ReportDestination where{
      destination.primarySite(), destination.disasterRecovery(), prefs.disasterInfo().reportToDR(),
      destination.GETDataURLSubString(),
      ProxyRoute{proxy.proxyIP(), proxy.proxyPort(), proxy.proxyUserName(), proxy.proxyPassword()}};
  return deliverReport(where, *envelope, kSig);
}

// ---------------------------------------------------------------------------
// Process monitoring.

void ConsolidatedAssets::CollectTopProcesses() {
  logAt(Sig::instance("ConsolidatedAssets", "CollectTopProcesses"), "CollectTopProcesses");
  CollectProcessesData sampler;
  sampler.CollectTopCpunMemProcs();
}

void ConsolidatedAssets::SendTopProcesses() {
  constexpr auto kSig = Sig::instance("ConsolidatedAssets", "SendTopProcesses");
  logAt(kSig, "SendTopProcesses");
  // The report covers the stored samples and one taken now.
  CollectProcessesData sampler;
  sampler.CollectTopCpunMemProcs();
  sampler.RetTopCpunMemPrsfrDB();
  const XMLTree report = sampler.CreateProcXMLTree();
  ProcsAssetString = report.XMLString();
  logAt(kSig, "Processes Data=" + *ProcsAssetString);
  // The samples go only once their report is on the disk (WriteProcDataforDatapost):
  // a report that cannot be written leaves them for the next one.
}

// ---------------------------------------------------------------------------
// Data-post files.

bool ConsolidatedAssets::writeDataPostFile(std::string_view prefix, const std::optional<std::string>& document) {
  if (!document) return false;  // the job produced no document
  const MacFolderSettings folders = GlobalPreferences::getSharedInstance().macFodler();
  // The uploader sees the file only once it is whole and on the disk, and an
  // earlier file of the same second is never replaced: the name is stamped again.
  const auto name = [&] { return std::string(prefix) + "_" + regIdText() + "_" + todayStringForFileName(); };
  constexpr auto kSig = Sig::instance("ConsolidatedAssets", "writeDataPostFile");
  std::string why;
  const std::optional<TrustedFolder> dataPost = folders.writableFolder(folders.dataPostDirRelative(), why);
  if (!dataPost) {
    logAt(kSig, "data-post folder not used: " + why);
    return false;
  }
  // Written in the run's own folder and linked into the data-post folder once whole.
  if (!FileSystem::writeNewFile(*dataPost, name, *document, why, RunFolder::folder())) {
    logAt(kSig, why);
    return false;
  }
  return true;
}

bool ConsolidatedAssets::writeDataForDataPost() { return writeDataPostFile(kHardwareInventoryPrefix, assetString1); }

bool ConsolidatedAssets::writeSWDataForDataPost() { return writeDataPostFile(kSoftwareInventoryPrefix, assetString2); }

bool ConsolidatedAssets::writeUndeliveredReport(const Sig& sig, std::string_view prefix, bool logNoConnection) {
  // Delivered or saved: a report the server did not answer goes to the uploader
  // as well, as it would with the network down.
  const bool online = connected();
  if (online && reportDelivered) return true;
  if (online) {
    logAt(sig, "No answer from the server; saving the report for the uploader");
  } else if (logNoConnection) {
    logAt(sig, LogWording::kNoConnection);
  }
  const bool written = writeDataPostFile(prefix, assetString2);
  if (written) logAt(sig, LogWording::kSavedForWebPost);
  return written;
}

bool ConsolidatedAssets::writeSmartStatusForDataPost() {
  return writeUndeliveredReport(Sig::instance("ConsolidatedAssets", "writeSmartStatusForDataPost"),
                                kSmartStatusReport.dataPostPrefix(), true);
}

bool ConsolidatedAssets::writeMacNameForDataPost() {
  return writeUndeliveredReport(Sig::instance("ConsolidatedAssets", "writeMacNameForDataPost"),
                                kMachineDetailsReport.dataPostPrefix(), false);
}

bool ConsolidatedAssets::WriteProcDataforDatapost() {
  constexpr Sig kSig = LogWording::kProcessReportWrite;
  if (!writeDataPostFile(kProcessReport.dataPostPrefix(), ProcsAssetString)) {
    logAt(kSig, LogWording::kProcessDataWriteError);
    return false;
  }
  logAt(kSig, "Process data for datapost write successful");
  // Each report covers the samples since the previous one.
  CollectProcessesData::deleteProcDBTable("autodelete_procsdata.sql");
  // The day log of process reports; without a log directory nothing is appended.
  if (procLogFolder_) logData(*ProcsAssetString, *procLogFolder_, "PRS_" + todayStringForPerfLogFile() + ".log");
  return true;
}

void ConsolidatedAssets::logData(const std::string& text, const TrustedFolder& folder, const std::string& name) {
  std::string why;
  if (!FileSystem::appendDurably(folder, name, text + "\n", why)) {
    logAt(Sig::instance("ConsolidatedAssets", "logData::"), why);
  }
}

// ---------------------------------------------------------------------------
// Reachability and dates.

bool ConsolidatedAssets::connected() {
  const auto reachability = Reachability::reachabilityForInternetConnection();
  return reachability && reachability->currentReachabilityStatus() != Reachability::NotReachable;
}

std::string ConsolidatedAssets::todayStringWithTimeZone() {
  const std::string text = DateTime::dateStringOf(DateTime::now(), kReportTimeFormat);
  logAt(Sig::instance("ConsolidatedAssets", "todayStringWithTimeZone"), "todayStringWithTimeZone=" + text);
  return text;
}

std::string ConsolidatedAssets::todayStringForFileName() {
  const std::string text = DateTime::dateStringOf(DateTime::now(), "yyyyMMddHHmmss");
  logAt(Sig::instance("ConsolidatedAssets", "todayStringForFileName"), "file date string=" + text);
  return text;
}

std::string ConsolidatedAssets::todayStringForPerfLogFile() {
  return DateTime::dateStringOf(DateTime::now(), "yyyyMMdd");
}

std::string ConsolidatedAssets::monthYearForPerfLogFile() { return DateTime::dateStringOf(DateTime::now(), "MMyyyy"); }

}  // namespace brim
