#pragma once
// The log lines that something other than a person reads: brim_inspect's
// doctor tells from them how each job last went. The tool writes them from
// here and the doctor matches them from here, so a line reworded in one place
// is reworded for both, and a test that logs them the tool's way catches a
// reader that no longer follows.
//
// An entry is "<time stamp> <signature>:<text>", one line; the doctor takes
// the signature and the text apart and compares each whole, so the same words
// inside an echoed server answer or document do not count.
#include <string_view>

#include "platform/Signature.h"

namespace brim {

class LogWording {
 public:
  // The time stamp every entry of a process log starts with: the short date
  // and medium time styles as an English (US) locale renders them.
  static constexpr std::string_view kTimestampPattern = "M/d/yy, h:mm:ss a";

  // The entry point's lines: a run starts, registers, takes and leaves the run lock.
  static constexpr Sig kMain = Sig::function("int main(int, const char **)");
  static constexpr std::string_view kRunStarts = "Asset collection";
  static constexpr std::string_view kRegIdStillZero = "RegID is still 0, exiting";
  static constexpr std::string_view kLockCreated = "Lock Created";
  static constexpr std::string_view kLockRemoved = "Lock Removed";

  // What the entry point logs as a job starts, and once its file is saved.
  static constexpr std::string_view kHardwareStarts = "asset data collection";
  static constexpr std::string_view kSoftwareStarts = "software asset collection";
  static constexpr std::string_view kProcessSampleStarts = "Collect top 20 CPU and Memory processes";
  static constexpr std::string_view kProcessReportStarts = "Save top 20 CPU and Memory processes data";
  static constexpr std::string_view kSoftwareSaved = "software asset saved into file";
  static constexpr std::string_view kProcessesSaved = "Processes Data saved into file";

  // The two posted reports log nothing at their start: their collect
  // operations' own lines tell that they ran.
  static constexpr Sig kMachineDetails = Sig::instance("ConsolidatedAssets", "collectMacDetails");
  static constexpr Sig kSmartStatus = Sig::instance("ConsolidatedAssets", "collectSmartStatus");
  static constexpr std::string_view kNoResponse = "No Response";
  static constexpr std::string_view kNoConnection = "No Connection";
  static constexpr std::string_view kSavedForWebPost = "Saved data for webpost";

  static constexpr Sig kProcessReportWrite = Sig::instance("ConsolidatedAssets", "WriteProcDataforDatapost");
  static constexpr std::string_view kProcessDataWriteError = "PROCESS DATA WRITE ERROR";
};

}  // namespace brim
