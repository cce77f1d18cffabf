#include "app/EntryPoint.h"

#include <unistd.h>

#include <csignal>
#include <optional>
#include <random>
#include <utility>

#include "config/GlobalPreferences.h"
#include "config/RunFolder.h"
#include "platform/CustomLogger.h"
#include "platform/Description.h"
#include "platform/FileSystem.h"
#include "platform/LogWording.h"
#include "platform/ProcessInfo.h"
#include "platform/ShellCommand.h"
#include "platform/Termination.h"
#include "platform/Text.h"
#include "platform/TrustedPath.h"
#include "reports/ConsolidatedAssets.h"

namespace brim {
namespace {

constexpr Sig kMain = LogWording::kMain;
constexpr std::string_view kLockName = "brim_asset.lock";

constexpr std::string_view kUsage =
    "\n-PerfCollect \t\t\t\t\t-\t to collect performance data"
    "\n-PerfSave \t\t\t\t\t-\t  to save collected performance data"
    "\n-ProcCollect \t\t\t\t\t-\t to collect process data"
    "\n-ProcSave \t\t\t\t\t-\t to save collected process data"
    "\n -software \t\t\t\t\t-\t to collect the software asset data"
    "\n -macName \t\t\t\t\t-\t send machine name to DC"
    "\n -smartstatus \t\t\t\t\t-\t send smart status of Disk to DC";

void log(std::string_view text) { logAt(kMain, text); }

int statusOf(bool written) { return written ? 0 : -1; }

// A job: the option that names it (none for the full inventory), what it
// logs as it starts, what it collects, how it saves the result (nothing to
// save: it ends with 0) and what it logs once saved.
struct Job {
  std::string_view option;
  std::string_view starting;
  void (ConsolidatedAssets::*collect)();
  bool (ConsolidatedAssets::*save)();
  std::string_view saved;
};

constexpr Job kJobs[] = {
    {"-ProcCollect", LogWording::kProcessSampleStarts, &ConsolidatedAssets::CollectTopProcesses, nullptr, {}},
    {"-ProcSave", LogWording::kProcessReportStarts, &ConsolidatedAssets::SendTopProcesses,
     &ConsolidatedAssets::WriteProcDataforDatapost, LogWording::kProcessesSaved},
    {"-software", LogWording::kSoftwareStarts, &ConsolidatedAssets::collectSWData,
     &ConsolidatedAssets::writeSWDataForDataPost, LogWording::kSoftwareSaved},
    {"-macName", {}, &ConsolidatedAssets::collectMacDetails, &ConsolidatedAssets::writeMacNameForDataPost, {}},
    {"-smartstatus", {}, &ConsolidatedAssets::collectSmartStatus, &ConsolidatedAssets::writeSmartStatusForDataPost, {}},
    {{}, LogWording::kHardwareStarts, &ConsolidatedAssets::collectData, &ConsolidatedAssets::writeDataForDataPost, {}},
};

// Runs the one job the arguments name; returns the exit status.
int dispatch(ConsolidatedAssets& assets, const std::vector<std::string>& args) {
  for (const Job& job : kJobs) {
    const bool named = job.option.empty() ? args.empty() : args.size() == 1 && args.front() == job.option;
    if (!named) continue;
    if (!job.starting.empty()) log(job.starting);
    (assets.*job.collect)();
    if (!job.save) return 0;
    const bool written = (assets.*job.save)();
    if (written && !job.saved.empty()) log(job.saved);
    return statusOf(written);
  }
  log("Wrong Parameter " + describe(args) + " specified in command");
  log("Use following commands for asset collection");
  log(kUsage);
  return 0;
}

// Every folder a job runs a program from or writes into as root is named by
// an absolute path: a missing setting would otherwise give "(null)/(null)/...",
// taken from whatever the working folder is.
bool foldersNamedAbsolutely(const MacFolderSettings& folders) {
  using Relative = const std::optional<std::string>& (MacFolderSettings::*)() const;
  constexpr std::pair<std::string_view, Relative> kFolders[] = {
      {"executable", &MacFolderSettings::executableDirRelative},
      {"temporary", &MacFolderSettings::tempDirRelative},
      {"data-post", &MacFolderSettings::dataPostDirRelative},
      {"data", &MacFolderSettings::dataDirRelative},
  };
  for (const auto& [name, relative] : kFolders) {
    std::string why;
    const std::optional<std::string> path = folders.absoluteFolder((folders.*relative)(), why);
    // Root writes only where root alone can; a missing folder is the job's
    // to report, when it needs it.
    if (!path || (FileSystem::exists(*path) && !TrustedFolder::open(*path, why))) {
      log("The " + std::string(name) + " folder cannot be used, " + why + "; nothing is run");
      return false;
    }
  }
  return true;
}

// What the run clears up when a termination signal stops it: its temporary
// folder and, once taken, its lock, so that the next run starts at once.
void clearUpAfter(int signal, const std::optional<TrustedFolder>& heldLock) {
  RunFolder::remove();
  // A lock left behind is taken over by the next run after its wait.
  std::string unasked;
  if (heldLock) FileSystem::removeFile(*heldLock, std::string(kLockName), unasked);
  const std::string name = signal == SIGTERM  ? "SIGTERM"
                           : signal == SIGINT ? "SIGINT"
                           : signal == SIGHUP ? "SIGHUP"
                                              : std::to_string(signal);
  log("Stopped by " + name + ": " + (Termination::commandKilled() ? "running command killed, " : "") +
      "temporary files removed, " + (heldLock ? std::string(LogWording::kLockRemoved) : "no lock taken"));
}

}  // namespace

std::optional<TrustedFolder> EntryPoint::takeRunLock(const std::string& folder) {
  // Made and removed in the folder held open, so that a link put in place of
  // the folder meanwhile cannot take the lock somewhere else.
  std::string why;
  std::optional<TrustedFolder> dir = TrustedFolder::open(folder, why);
  if (!dir) {
    log("Lock not created: " + why);
    return std::nullopt;
  }
  const std::string lockFile(kLockName);
  // Created atomically, so that of the runs waiting for it one only gets it.
  using Create = FileSystem::Create;
  Create lock = FileSystem::createFile(*dir, lockFile, why);
  if (lock == Create::Exists) log("Waiting for another instance of brim_asset to finish");
  for (int test = 0; test < kLockWaitTests && lock == Create::Exists; ++test) {
    hooks_.sleepMicros(kLockWaitMicros);
    Termination::stopIfRequested();
    lock = FileSystem::createFile(*dir, lockFile, why);
  }
  if (lock != Create::Made) {
    // Nobody waits for a link or a file that no run of ours made; a lock
    // that outlived the wait is taken over. Removing a link leaves what it
    // names; a folder is not removed, and no lock is claimed over it.
    if (lock == Create::Foreign) log(why);
    if ((lock == Create::Exists || lock == Create::Foreign) && FileSystem::removeFile(*dir, lockFile, why)) {
      lock = FileSystem::createFile(*dir, lockFile, why);
    }
    if (lock != Create::Made) {
      log("Lock not created: " + why);
      return std::nullopt;
    }
  }
  log(LogWording::kLockCreated);
  return dir;
}

EntryPoint::Hooks EntryPoint::platformHooks() {
  Hooks hooks;
  hooks.userName = [] { return ProcessInfo::userName(); };
  hooks.random = [] {
    std::random_device device;
    return static_cast<uint32_t>(device());
  };
  hooks.sleepMicros = [](uint32_t micros) { ::usleep(micros); };
  return hooks;
}

int EntryPoint::run(const std::vector<std::string>& args) {
  if (hooks_.userName() != "root") return 0;
  std::optional<TrustedFolder> heldLock;
  const Termination::Scope termination([&heldLock](int signal) { clearUpAfter(signal, heldLock); });
  log(LogWording::kRunStarts);

  const uint32_t delay = startDelay(hooks_.random());
  log("myRand=" + std::to_string(delay));
  if (!hooks_.skipStartDelay) hooks_.sleepMicros(delay);
  Termination::stopIfRequested();

  GlobalPreferences& prefs = GlobalPreferences::getSharedInstance();
  log("regid=" + std::to_string(prefs.machineInfo().dcRegId()));
  const MacFolderSettings folders = prefs.macFodler();
  // Read at each use: the reload after registration may change the folders.
  const auto executableDir = [&folders] { return folders.folder(folders.executableDirRelative()); };
  if (!foldersNamedAbsolutely(folders)) return -1;

  if (prefs.machineInfo().dcRegId() == 0) {
    log("agentInstallPath=" + orNull(folders.agentInstallPathAbs()));
    // Root runs only what root alone could have put there.
    const std::string registration = executableDir() + "/brim_register";
    if (auto why = TrustedPath::whyUntrustedForRoot(registration)) {
      log("brim_register not run: " + *why);
      return -1;
    }
    // Its exit status is not ours to judge: the reloaded id tells.
    ShellCommand::run(shellQuoted(registration), ShellCommand::Limit::Other);
    GlobalPreferences::setStaticInstance(prefs);
    if (prefs.machineInfo().dcRegId() == 0) {
      log(LogWording::kRegIdStillZero);
      return 0;
    }
    log("current regid=" + std::to_string(prefs.machineInfo().dcRegId()));
    if (!foldersNamedAbsolutely(folders)) return -1;
  }

  heldLock = takeRunLock(executableDir());
  RunFolder::removeStale();

  ConsolidatedAssets assets;
  log("argc=" + std::to_string(args.size() + 1));
  const int status = dispatch(assets, args);
  Termination::stopIfRequested();

  RunFolder::remove();
  if (heldLock) {
    std::string unasked;
    FileSystem::removeFile(*heldLock, std::string(kLockName), unasked);
    log(LogWording::kLockRemoved);
  }
  return status;
}

}  // namespace brim
