#include "reports/ConsolidatedAssets.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/CustomLogger.h"
#include "app/DateTime.h"
#include "app/ReadNSPipe.h"
#include "config/DateToDisasterRecoverySettings.h"
#include "config/GlobalPreferences.h"
#include "config/SectionFields.h"
#include "config/WebPostGlobal.h"
#include "config/WebPostSetting.h"
#include "envelope/CompressChilkat.h"
#include "envelope/EncryptionAES.h"
#include "envelope/XMLTree.h"
#include "inventory/DiskInfo.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"
#include "net/Communications.h"
#include "net/Reachability.h"
#include "platform/FileSystem.h"
#include "platform/Plist.h"
#include "platform/Text.h"
#include "platform/UniqueFd.h"
#include "procmon/CollectProcessesData.h"

extern char** environ;

namespace brim {
namespace {

constexpr auto kInit = Sig::instance("ConsolidatedAssets", "init");
constexpr auto kExecuteCommand = Sig::instance("ConsolidatedAssets", "executeCommand:");

// The first item's "machine_name" of a hardware profile: absent when the file
// holds no item, "(null)" when the item has no name.
std::optional<std::string> modelNameFromProfile(const std::string& path) {
  Plist profile = readPlistFile(path);
  plist_t top = profile.get();
  if (!top || plist_get_node_type(top) != PLIST_ARRAY || plist_array_get_size(top) == 0) return std::nullopt;
  plist_t items = plistDictItem(plist_array_get_item(top, 0), "_items");
  if (!items || plist_get_node_type(items) != PLIST_ARRAY || plist_array_get_size(items) == 0) return std::nullopt;
  return orNull(plistString(plistDictItem(plist_array_get_item(items, 0), "machine_name")));
}

// The machine's registration id in decimal, as every document and file name carries it.
std::string regIdText() { return std::to_string(GlobalPreferences::getSharedInstance().machineInfo().dcRegId); }

}  // namespace

ConsolidatedAssets::ConsolidatedAssets() {
  const MacFolderSettings& folders = GlobalPreferences::getSharedInstance().macFodler();
  const std::string profile = folders.folder(folders.tempDirRelative) + "/autodelete_SPHardwareDataType.plist";
  std::system(("system_profiler SPHardwareDataType -xml >" + profile).c_str());

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
  FileSystem::removeFile(profile);
}

std::string ConsolidatedAssets::executeCommand(const std::string& command) {
  // Pipe ends kept clear of 0 to 2: a process started with one of those closed
  // would otherwise get a pipe end there, and the redirections below would
  // overwrite it before it is copied.
  auto makePipe = [](UniqueFd& readEnd, UniqueFd& writeEnd) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    readEnd.reset(::fcntl(ends[0], F_DUPFD_CLOEXEC, 3));
    writeEnd.reset(::fcntl(ends[1], F_DUPFD_CLOEXEC, 3));
    ::close(ends[0]);
    ::close(ends[1]);
    return readEnd.valid() && writeEnd.valid();
  };
  UniqueFd inputRead, inputWrite, outputRead, outputWrite;
  const bool piped = makePipe(inputRead, inputWrite) && makePipe(outputRead, outputWrite);
  logAt(kExecuteCommand, "Executing:" + command);
  if (!piped) return {};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inputRead.get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputWrite.get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputWrite.get(), STDERR_FILENO);
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  // Only the child keeps the write end, so the read below ends when it does.
  // Nothing writes to the input: a command that reads it sees its end at once.
  inputRead.reset();
  inputWrite.reset();
  outputWrite.reset();

  // Drained while the command runs, so that a large output cannot block it.
  ReadNSPipe reader;
  const std::string text = reader.readAvailableDataFromFileHandle(outputRead.get());
  if (spawned == 0) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return trimWhitespaceAndNewlines(text);
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
  logAt(Sig::instance("ConsolidatedAssets", "collectData"), "assetString=" + *assetString1 + "\n");
}

void ConsolidatedAssets::collectSWData() {
  assetString2 = inventoryDocument("software", softwareCollectors());
  logAt(Sig::instance("ConsolidatedAssets", "collectSWData"), "assetString=" + *assetString2);
}

std::string ConsolidatedAssets::inventoryDocument(std::string_view type, std::span<const Collector> collectors) {
  XMLTree document("wpmacasstinfo");
  document.addChildNodeToCurrentNodeWithName("type", std::string(type));
  document.addChildNodeToCurrentNodeWithName("regid", regIdText());
  document.addChildNodeToCurrentNodeWithName("scandttime", todayStringWithTimeZone());

  // Every category is gathered before any is appended.
  brim::collectData collector;
  std::vector<XMLTree> categories;
  categories.reserve(collectors.size());
  for (const Collector collect : collectors) categories.push_back((collector.*collect)());
  for (XMLTree& category : categories) {
    document.addChildTree(category);
    category = XMLTree();  // the document holds its copy now
  }
  return document.XMLString();
}

// ---------------------------------------------------------------------------
// Direct status reports.

void ConsolidatedAssets::collectSmartStatus() {
  brim::collectData collector;
  const DiskInfo disk = collector.getDiskDetails();
  XMLTree report("wpmacsmartsts");
  report.addChildNodeToCurrentNodeWithName("regid", regIdText());
  report.addChildNodeToCurrentNodeWithName("scandttime", DateTime::dateStringOf(DateTime::now(), "MM-dd-yyyy HH:mm:ss"));
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
  std::string address = executeCommand(kEthernetAddress);
  if (address.empty()) address = executeCommand(kWiFiAddress);

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
  if (response && !response->empty()) {
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
  const std::optional<std::string>& site =
      toDisasterRecovery ? destination.disasterRecovery : destination.primarySite;
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
  const std::string name = std::string(prefix) + "_" + regIdText() + "_" + todayStringForFileName();
  const std::string path = folders.folder(folders.dataPostDirRelative) + "/" + name;
  return FileSystem::writeFileAtomically(path, *document);
}

bool ConsolidatedAssets::writeDataForDataPost() { return writeDataPostFile("wpmacasstinfo", assetString1); }

bool ConsolidatedAssets::writeSWDataForDataPost() { return writeDataPostFile("wpmacasstswinfo", assetString2); }

bool ConsolidatedAssets::writeSmartStatusForDataPost() {
  constexpr auto kSig = Sig::instance("ConsolidatedAssets", "writeSmartStatusForDataPost");
  if (connected()) return true;
  logAt(kSig, "No Connection");
  const bool written = writeDataPostFile("wpmacsmartsts", assetString2);
  if (written) logAt(kSig, "Saved data for webpost");
  return written;
}

bool ConsolidatedAssets::writeMacNameForDataPost() {
  if (connected()) return true;
  const bool written = writeDataPostFile("wpmacupdsysdtl", assetString2);
  if (written) logAt(Sig::instance("ConsolidatedAssets", "writeMacNameForDataPost"), "Saved data for webpost");
  return written;
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
  FileSystem::appendToFile(path, text + "\n");
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
