#include "reports/ConsolidatedAssets.h"

#include <memory>
#include <vector>

#include "platform/CustomLogger.h"
#include "platform/DateTime.h"
#include "config/RunFolder.h"
#include "config/DateToDisasterRecoverySettings.h"
#include "config/GlobalPreferences.h"
#include "config/SectionFields.h"
#include "config/WebPostGlobal.h"
#include "config/WebPostSetting.h"
#include "envelope/CompressChilkat.h"
#include "envelope/EncryptionAES.h"
#include "envelope/XMLTree.h"
#include "inventory/DiskInfo.h"
#include "inventory/ProfilerRun.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"
#include "net/Communications.h"
#include "net/Reachability.h"
#include "platform/FileSystem.h"
#include "platform/Plist.h"
#include "platform/Text.h"
#include "procmon/CollectProcessesData.h"

namespace brim {
namespace {

constexpr auto kInit = Sig::instance("ConsolidatedAssets", "init");
constexpr auto kExecuteCommand = Sig::instance("ConsolidatedAssets", "executeCommand:");

// The first item's "machine_name" of a hardware profile: absent when the file
// holds no item, "(null)" when the item has no name.
std::optional<std::string> modelNameFromProfile(const ProfilerRun& profile) {
  plist_t items = profile.items();
  if (!items || plist_get_node_type(items) != PLIST_ARRAY || plist_array_get_size(items) == 0) return std::nullopt;
  return orNull(plistString(plistDictItem(plist_array_get_item(items, 0), "machine_name")));
}

// The machine's registration id in decimal, as every document and file name carries it.
std::string regIdText() { return std::to_string(GlobalPreferences::getSharedInstance().machineInfo().dcRegId); }

}  // namespace

ConsolidatedAssets::ConsolidatedAssets() {
  const MacFolderSettings& folders = GlobalPreferences::getSharedInstance().macFodler();
  ProfilerRun profile(RunFolder::path(), "SPHardwareDataType", "autodelete_SPHardwareDataType.plist");
  if (auto modelName = modelNameFromProfile(profile)) {
    logAt(kInit, "modelName=" + *modelName);
    const std::string month = monthYearForPerfLogFile();
    const std::string base = folders.folder(folders.dataDirRelative) + "/" + *modelName + "/" + month;
    perfLogDir = base + "/GPM";
    procLogDir = base + "/PRS";
    logAt(kInit, "direct " + *perfLogDir);
    FileSystem::makeDirectories(*perfLogDir);
    FileSystem::makeDirectories(*procLogDir);
  }
  profile.removeFile();
}

std::string ConsolidatedAssets::executeCommand(const std::string& command, ShellCommand::Limit limit) {
  logAt(kExecuteCommand, "Executing:" + command);
  return trimWhitespaceAndNewlines(ShellCommand::runReadingOutput(command, limit).output);
}

// ---------------------------------------------------------------------------
// Inventory documents.

std::span<const ConsolidatedAssets::Collector> ConsolidatedAssets::hardwareCollectors() {
  // The hardware categories, in the order the document lists them.
  static constexpr Collector kHardware[] = {
      &brim::collectData::getMemoryInfo,        &brim::collectData::getHardwareInfo,
      &brim::collectData::getFirewallInfo,      &brim::collectData::getEthernetInfo,
      &brim::collectData::getDiskInfo,          &brim::collectData::getSharedVolInfo,
      &brim::collectData::getCardreaderInfo,    &brim::collectData::getSelfTestInfo,
      &brim::collectData::getDiscBurninginfo,   &brim::collectData::getPowerInfo,
      &brim::collectData::getHWConfigInfo,      &brim::collectData::getOSInfo,
      &brim::collectData::getGraphicInfo,       &brim::collectData::getBlueToothHardWareInfo,
      &brim::collectData::getBlueToothServices, &brim::collectData::getBlueToothDevices,
      &brim::collectData::getNetwokInfo,        &brim::collectData::getLocationsInfo};
  return kHardware;
}

std::span<const ConsolidatedAssets::Collector> ConsolidatedAssets::softwareCollectors() {
  static constexpr Collector kSoftware[] = {&brim::collectData::getSystemInfo, &brim::collectData::getApplicationInfo,
                                            &brim::collectData::getUSBInfo};
  return kSoftware;
}

void ConsolidatedAssets::collectData() {
  assetString1 = inventoryDocument("assetdata", hardwareCollectors());
  // The log line is followed by an empty line.
  logAt(Sig::instance("ConsolidatedAssets", "collectData"), {"assetString=", *assetString1, "\n"});
}

void ConsolidatedAssets::collectSWData() {
  assetString2 = inventoryDocument("software", softwareCollectors());
  logAt(Sig::instance("ConsolidatedAssets", "collectSWData"), {"assetString=", *assetString2});
}

std::string ConsolidatedAssets::inventoryDocument(std::string_view type, std::span<const Collector> collectors) {
  XMLTree document("wpmacasstinfo");
  document.addChildNodeToCurrentNodeWithName("type", std::string(type));
  document.addChildNodeToCurrentNodeWithName("regid", regIdText());
  document.addChildNodeToCurrentNodeWithName("scandttime", todayStringWithTimeZone());

  // Each category goes into the document's text as soon as it is built, the
  // text addChildTree would have given: no category is held as a tree beside
  // the document, and none is copied.
  std::string text;
  document.appendOpeningText(text, true);
  brim::collectData collector;
  for (const Collector collect : collectors) collector.appendCategory(collect, text);
  document.appendClosingText(text);
  return text;
}

// ---------------------------------------------------------------------------
// Direct status reports.

void ConsolidatedAssets::collectSmartStatus() {
  brim::collectData collector;
  const DiskInfo disk = collector.getDiskDetails();
  XMLTree report("wpmacsmartsts");
  report.addChildNodeToCurrentNodeWithName("regid", regIdText());
  report.addChildNodeToCurrentNodeWithName("scandttime",
                                           DateTime::dateStringOf(DateTime::now(), "MM-dd-yyyy HH:mm:ss"));
  report.addChildNodeWithCDATAToCurrentNodeWithName("modelname", disk.model);
  report.addChildNodeWithCDATAToCurrentNodeWithName("modeldesc", disk.description);
  report.addChildNodeWithCDATAToCurrentNodeWithName("bsdname", disk.diskBSDName);
  report.addChildNodeWithCDATAToCurrentNodeWithName("status", disk.smartStatus);
  postReport(Sig::instance("ConsolidatedAssets", "collectSmartStatus"), report);
}

void ConsolidatedAssets::collectMacDetails() {
  // The Wi-Fi address is asked for only when the Ethernet one is missing.
  static constexpr const char* kEthernetAddress =
      "system_profiler SPNetworkDataType | grep -A3 Ethernet | awk '/IPv4 Address/ { print $3 }'";
  static constexpr const char* kWiFiAddress =
      "system_profiler SPNetworkDataType | grep -A6 Wi-Fi | awk '/IPv4 Address/ { print $3 }'";
  brim::collectData collector;
  const SystemInfo system = collector.getMacDetailsData();
  std::string address = executeCommand(kEthernetAddress, ShellCommand::Limit::Profiler);
  if (address.empty()) address = executeCommand(kWiFiAddress, ShellCommand::Limit::Profiler);

  XMLTree report("wpmacupdsysdtl");
  report.addChildNodeToCurrentNodeWithName("regid", regIdText());
  report.addChildNodeWithCDATAToCurrentNodeWithName("resourcename", system.compName);
  report.addChildNodeWithCDATAToCurrentNodeWithName("os", system.systemVer);
  report.addChildNodeWithCDATAToCurrentNodeWithName("osversion", system.kernelVer);
  report.addChildNodeWithCDATAToCurrentNodeWithName("ip", address);
  postReport(Sig::instance("ConsolidatedAssets", "collectMacDetails"), report);
}

void ConsolidatedAssets::postReport(const Sig& sig, const XMLTree& report) {
  assetString2 = report.XMLString();
  const std::unique_ptr<WebPostSetting> webPost = WebPostGlobal::getWebPostSettingForName(report.rootName());
  const std::optional<std::string> response = sendXML(report, webPost.get(), sharedPassPhrase());
  reportDelivered = response && !response->empty();
  if (reportDelivered) {
    logAt(sig, "Response is = " + *response);
  } else {
    logAt(sig, "No Response");
  }
}

std::optional<std::string> ConsolidatedAssets::sendXML(const XMLTree& document, const WebPostSetting* webPost,
                                                       const std::string& key) {
  constexpr auto kSig = Sig::instance("ConsolidatedAssets", "sendXML:toWebPost:withEncryptionKey:");
  // Without a web post every flag reads false and there is no site.
  static const WebPostSetting kNoWebPost;
  const WebPostSetting& destination = webPost ? *webPost : kNoWebPost;
  const DateToDisasterRecoverySettings* disaster = GlobalPreferences::getSharedInstance().disasterInfo();
  const bool toDisasterRecovery = disaster && disaster->reportToDR;

  std::string text = document.XMLString();
  logAt(kSig, "xml string = " + text);
  if (destination.compression) {
    CompressChilkat compresser;
    std::optional<std::string> compressed = compresser.compressChilkat(text);
    if (!compressed) {
      // Only a text that is not one XML document fails, which a built report never is.
      logAt(kSig, "compression failed; report not sent");
      logAt(kSig, "commResponse=(null)");
      return std::nullopt;
    }
    text = std::move(*compressed);
  }
  if (destination.encryption) {
    const std::string rootName = XMLTree::initWithXMLString(text).rootName();
    EncryptionAES encrypter;
    std::string encrypted;
    if (destination.encryptXMLRootTag) {
      encrypted = encrypter.encryptChilkat(text, key);
      logAt(kSig, "encryptedString=" + encrypted);
    } else {
      encrypted = encrypter.encryptChilkat(xmlStringWithoutRootNodeWithName(rootName, text).value_or(""), key);
    }
    text = "<" + rootName + ">" + encrypted + "</" + rootName + ">";
    logAt(kSig, "xmlString:" + text);
  }

  // There is no fall-back to the secondary site.
  const std::optional<std::string>& site = toDisasterRecovery ? destination.disasterRecovery : destination.primarySite;
  const std::string query = destination.GETDataURLSubString();
  std::optional<std::string> response;
  if (site) {
    Communications communications = Communications::initWithBaseURLString(checkurl(*site));
    for (int attempt = 0; attempt < 3; ++attempt) {
      logAt(kSig, "Retry Count=" + std::to_string(attempt));
      response = communications.sendDataToURLString(query, text);
      if (response && !response->empty()) break;
    }
  }
  logAt(kSig, "commResponse=" + orNull(response));
  return response;
}

std::string ConsolidatedAssets::checkurl(const std::string& url) {
  if (url.find_first_of(" \t") == std::string::npos) return url;
  // Characters a URL may not hold become %XX per UTF-8 byte; its own separators stay.
  static constexpr std::string_view kIllegal = " \"<>\\^`{|}";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || kIllegal.find(c) != std::string_view::npos) {
      escaped += '%';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::optional<std::string> ConsolidatedAssets::xmlStringWithoutRootNodeWithName(const std::string& name,
                                                                                const std::string& xml) {
  // The root's start tag is the first "<name" followed by white space, ">" or "/>"
  // (declarations, comments and processing instructions come before it).
  size_t start = 0;
  for (;;) {
    start = xml.find("<" + name, start);
    if (start == std::string::npos) return std::nullopt;
    const size_t after = start + 1 + name.size();
    if (after < xml.size() && std::string_view(" \t\r\n>/").find(xml[after]) != std::string_view::npos) break;
    start = after;
  }
  const size_t open = xml.find('>', start);
  if (open == std::string::npos) return std::nullopt;
  if (xml[open - 1] == '/') return std::string();  // <name/>
  const size_t close = xml.rfind("</" + name);
  if (close == std::string::npos || close < open) return std::nullopt;
  return xml.substr(open + 1, close - open - 1);
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
  // Each report covers the samples since the previous one.
  sampler.deleteProcDBTable("autodelete_procsdata.sql");
}

// ---------------------------------------------------------------------------
// Data-post files.

bool ConsolidatedAssets::writeDataPostFile(std::string_view prefix, const std::optional<std::string>& document) {
  if (!document) return false;  // the job produced no document
  const MacFolderSettings& folders = GlobalPreferences::getSharedInstance().macFodler();
  // The uploader sees the file only once it is whole and on the disk, and an
  // earlier file of the same second is never replaced: the name is stamped again.
  const auto name = [&] { return std::string(prefix) + "_" + regIdText() + "_" + todayStringForFileName(); };
  if (!FileSystem::writeNewFile(folders.folder(folders.dataPostDirRelative), name, *document)) {
    logAt(Sig::instance("ConsolidatedAssets", "writeDataPostFile"), FileSystem::lastFailure());
    return false;
  }
  return true;
}

bool ConsolidatedAssets::writeDataForDataPost() { return writeDataPostFile("wpmacasstinfo", assetString1); }

bool ConsolidatedAssets::writeSWDataForDataPost() { return writeDataPostFile("wpmacasstswinfo", assetString2); }

bool ConsolidatedAssets::writeUndeliveredReport(const Sig& sig, std::string_view prefix, bool logNoConnection) {
  // Delivered or saved: a report the server did not answer goes to the uploader
  // as well, as it would with the network down.
  const bool online = connected();
  if (online && reportDelivered) return true;
  if (online) {
    logAt(sig, "No answer from the server; saving the report for the uploader");
  } else if (logNoConnection) {
    logAt(sig, "No Connection");
  }
  const bool written = writeDataPostFile(prefix, assetString2);
  if (written) logAt(sig, "Saved data for webpost");
  return written;
}

bool ConsolidatedAssets::writeSmartStatusForDataPost() {
  return writeUndeliveredReport(Sig::instance("ConsolidatedAssets", "writeSmartStatusForDataPost"), "wpmacsmartsts",
                                true);
}

bool ConsolidatedAssets::writeMacNameForDataPost() {
  return writeUndeliveredReport(Sig::instance("ConsolidatedAssets", "writeMacNameForDataPost"), "wpmacupdsysdtl",
                                false);
}

bool ConsolidatedAssets::WriteProcDataforDatapost() {
  constexpr auto kSig = Sig::instance("ConsolidatedAssets", "WriteProcDataforDatapost");
  if (!writeDataPostFile("wpmacpradatahr", ProcsAssetString)) {
    logAt(kSig, "PROCESS DATA WRITE ERROR");
    return false;
  }
  logAt(kSig, "Process data for datapost write successful");
  // The day log of process reports; without a log directory nothing is appended.
  if (procLogDir) logData(*ProcsAssetString, *procLogDir + "/PRS_" + todayStringForPerfLogFile() + ".log");
  return true;
}

void ConsolidatedAssets::logData(const std::string& text, const std::string& path) {
  if (!FileSystem::appendDurably(path, text + "\n")) {
    logAt(Sig::instance("ConsolidatedAssets", "logData::"), FileSystem::lastFailure());
  }
}

// ---------------------------------------------------------------------------
// Reachability and dates.

bool ConsolidatedAssets::connected() {
  const auto reachability = Reachability::reachabilityForInternetConnection();
  return reachability && reachability->currentReachabilityStatus() != Reachability::NotReachable;
}

std::string ConsolidatedAssets::todayStringWithTimeZone() {
  const std::string text = DateTime::dateStringOf(DateTime::now(), "MM/dd/yyyy HH:mm:ss");
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
