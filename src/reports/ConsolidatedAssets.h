#pragma once
// The orchestrator behind every job of the tool: one instance per run. It does
// the start-up work (model name, log directories), holds the document text each
// job produces, and writes or posts it; the collectors, the report envelope and
// the delivery to the server do the work.
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "envelope/XMLTree.h"
#include "platform/Signature.h"
#include "platform/TrustedPath.h"

namespace brim {

struct DirectReport;
struct CategoryView;
class ProfilerReports;
class WebPostSetting;

class ConsolidatedAssets {
 public:
  ConsolidatedAssets();  // init: the start-up work, on every run

  // Inventory documents.
  void collectData();
  void collectSWData();
  // Direct status reports.
  void collectSmartStatus();
  void collectMacDetails();
  // Process monitoring.
  void CollectTopProcesses();
  void SendTopProcesses();

  // Data-post files: true when written (or, for the two reports, when nothing had to be).
  bool writeDataForDataPost();
  bool writeSWDataForDataPost();
  bool writeSmartStatusForDataPost();
  bool writeMacNameForDataPost();
  bool WriteProcDataforDatapost();
  // Appends text and a line break to the file name in folder.
  static void logData(const std::string& text, const TrustedFolder& folder, const std::string& name);

  // Posts a report to the site its web post names (the disaster-recovery site
  // when the settings say so, else the primary one), compressed and encrypted
  // as the web post asks, in up to three attempts. The server's answer; absent
  // when there is no web post, no site or no answer.
  std::optional<std::string> sendXML(const XMLTree& document, const WebPostSetting* webPost, const std::string& key);

  // True unless the reachability test says the network is not reachable.
  bool connected();

  std::string todayStringWithTimeZone();
  std::string todayStringForFileName();
  std::string todayStringForPerfLogFile();
  std::string monthYearForPerfLogFile();

  std::optional<std::string> assetString1;
  std::optional<std::string> assetString2;
  std::optional<std::string> ProcsAssetString;
  // The server answered the direct report: without an answer it is saved for the uploader.
  bool reportDelivered = false;
  std::optional<std::string> perfLogDir;
  std::optional<std::string> procLogDir;

 private:
  // The process day log's folder, held open from the checked data folder down.
  std::shared_ptr<const TrustedFolder> procLogFolder_;
  // The profiler reports of this run: each data type is run once, whoever reads it.
  std::shared_ptr<ProfilerReports> profilerReports_;

  std::string inventoryDocument(std::string_view type, std::span<const CategoryView> categories);
  // Writes a document as "<prefix>_<regid>_<time stamp>" into the data-post directory.
  bool writeDataPostFile(std::string_view prefix, const std::optional<std::string>& document);
  // Saves the direct report unless it was delivered with the network reachable.
  bool writeUndeliveredReport(const Sig& sig, std::string_view prefix, bool logNoConnection);
  // Keeps a direct report built from its declaration for its data-post file
  // and posts it to its web post.
  void postReport(const Sig& sig, const DirectReport& declared, const XMLTree& report);
};

}  // namespace brim
