#include "inspect/LastRuns.h"

#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/RootedTree.h"
#include "inspect/ShownText.h"
#include "platform/Paths.h"

namespace brim::inspect {
namespace {

// The last run of each job in the tool's log, and how it ended.
struct Run {
  std::string started;
  std::vector<std::string> lines;
  bool has(std::string_view text) const {
    for (const std::string& line : lines) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }
};

}  // namespace

void checkLastRuns(std::vector<Check>& checks, const RootedTree& tree) {
  const std::string path = Paths::fixed(Paths::kLogDir) + "/brim_asset.log";
  // Whole documents are logged on every run: the last runs are near the end.
  constexpr size_t kLogTail = 32 << 20;
  std::string unreadable;
  const std::optional<std::string> log = tree.readTail(path, kLogTail, unreadable);
  if (!log && tree.status(path, unreadable)) {
    checks.push_back(failed("last runs", unreadable, "make the log a plain file"));
    return;
  }
  constexpr std::string_view kMain = "int main(int, const char **):";
  constexpr std::string_view kAssets = "-[ConsolidatedAssets ";
  // Every line that tells how a job went starts with one of the two; documents do not matter here.
  constexpr size_t kKept = 200;
  struct Job {
    const char* name;
    const char* marker;
  };
  static constexpr Job kJobs[] = {
      {"hardware inventory", "int main(int, const char **):asset data collection"},
      {"software inventory", "int main(int, const char **):software asset collection"},
      {"process sample", "int main(int, const char **):Collect top 20 CPU and Memory processes"},
      {"process report", "int main(int, const char **):Save top 20 CPU and Memory processes data"},
      {"machine details", "-[ConsolidatedAssets collectMacDetails]"},
      {"SMART status", "-[ConsolidatedAssets collectSmartStatus]"},
  };
  std::vector<Run> runs;
  std::istringstream in(log.value_or(""));
  for (std::string line; std::getline(in, line);) {
    const size_t at = line.find(kMain);
    if (at != std::string::npos && line.compare(at + kMain.size(), std::string::npos, "Asset collection") == 0) {
      runs.push_back({line.substr(0, at == 0 ? 0 : at - 1), {}});
    } else if (!runs.empty() && (at != std::string::npos || line.find(kAssets) != std::string::npos)) {
      runs.back().lines.push_back(line.substr(0, kKept));
    }
  }
  if (!log) {
    checks.push_back(warn("last runs", path + " missing: the tool has not run here",
                          "systemctl enable --now brim-asset.target, or run brim_asset as root"));
    return;
  }
  if (!runs.empty() && runs.back().has("RegID is still 0, exiting")) {
    checks.push_back(failed("last run", runs.back().started + ": stopped, registration id still 0",
                            std::string(Paths::kInstallDir) + "/bin/brim_register, and look at its output"));
  }
  for (const Job& job : kJobs) {
    const std::string name = std::string("last ") + job.name;
    const Run* last = nullptr;
    for (const Run& run : runs) {
      if (run.has(job.marker)) last = &run;
    }
    if (!last) {
      checks.push_back(warn(name, "no run in the log", "systemctl enable --now brim-asset.target"));
      continue;
    }
    const std::string when = last->started + ": ";
    if (!last->has("Lock Removed")) {
      checks.push_back(warn(name, when + "did not finish", "see " + shellQuoted(path) + " for where it stopped"));
    } else if (last->has("PROCESS DATA WRITE ERROR") ||
               (std::string_view(job.name) == "software inventory" && !last->has("software asset saved into file"))) {
      checks.push_back(failed(name, when + "its data-post file was not written", "see the data-post checks"));
    } else if (last->has("Saved data for webpost")) {
      checks.push_back(warn(name,
                            when + "not delivered" + (last->has("No Connection") ? " (no connection)" : "") +
                                ": saved as a data-post file for the uploader",
                            "check the network and the web post's site"));
    } else if (last->has("No Response")) {
      checks.push_back(
          warn(name, when + "no answer from the server, and not saved for the uploader", "check the web post's site"));
    } else {
      checks.push_back(ok(name, when + "finished"));
    }
  }
}

}  // namespace brim::inspect
