#include "reports/ConsolidatedAssets.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "app/CustomLogger.h"
#include "app/DateTime.h"
#include "app/ReadNSPipe.h"
#include "config/GlobalPreferences.h"
#include "platform/FileSystem.h"
#include "platform/Plist.h"
#include "platform/Text.h"

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

}  // namespace

ConsolidatedAssets::ConsolidatedAssets() {
  const MacFolderSettings& folders = GlobalPreferences::getSharedInstance().macFodler();
  const std::string profile =
      orNull(folders.agentInstallPathAbs) + "/" + orNull(folders.tempDirRelative) + "/autodelete_SPHardwareDataType.plist";
  std::system(("system_profiler SPHardwareDataType -xml >" + profile).c_str());

  if (auto modelName = modelNameFromProfile(profile)) {
    logAt(kInit, "modelName=" + *modelName);
    const std::string month = monthYearForPerfLogFile();
    const std::string base = orNull(folders.agentInstallPathAbs) + "/" + orNull(folders.dataDirRelative) + "/" +
                             *modelName + "/" + month;
    perfLogDir = base + "/GPM";
    procLogDir = base + "/PRS";
    logAt(kInit, "direct " + *perfLogDir);
    FileSystem::makeDirectories(*perfLogDir);
    FileSystem::makeDirectories(*procLogDir);
  }
  FileSystem::removeFile(profile);
}

std::string ConsolidatedAssets::executeCommand(const std::string& command) {
  int input[2];
  int output[2];
  if (::pipe2(input, O_CLOEXEC) != 0) return {};
  if (::pipe2(output, O_CLOEXEC) != 0) {
    ::close(input[0]);
    ::close(input[1]);
    return {};
  }
  logAt(kExecuteCommand, "Executing:" + command);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(input[0]);
  ::close(input[1]);
  ::close(output[1]);

  // Drained while the command runs, so that a large output cannot block it.
  ReadNSPipe reader;
  const std::string text = reader.readAvailableDataFromFileHandle(output[0]);
  ::close(output[0]);
  if (spawned == 0) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return trimWhitespaceAndNewlines(text);
}

// ---------------------------------------------------------------------------
// Inventory documents.

void ConsolidatedAssets::collectData() {
  logAt(Sig::instance("ConsolidatedAssets", "collectData"), "not built yet");
}

void ConsolidatedAssets::collectSWData() {
  logAt(Sig::instance("ConsolidatedAssets", "collectSWData"), "not built yet");
}

// ---------------------------------------------------------------------------
// Direct status reports.

void ConsolidatedAssets::collectSmartStatus() {
  logAt(Sig::instance("ConsolidatedAssets", "collectSmartStatus"), "not built yet");
}

void ConsolidatedAssets::collectMacDetails() {
  logAt(Sig::instance("ConsolidatedAssets", "collectMacDetails"), "not built yet");
}

// ---------------------------------------------------------------------------
// Process monitoring.

void ConsolidatedAssets::CollectTopProcesses() {
  logAt(Sig::instance("ConsolidatedAssets", "CollectTopProcesses"), "not built yet");
}

void ConsolidatedAssets::SendTopProcesses() {
  logAt(Sig::instance("ConsolidatedAssets", "SendTopProcesses"), "not built yet");
}

// ---------------------------------------------------------------------------
// Data-post files.

bool ConsolidatedAssets::writeDataForDataPost() { return true; }

bool ConsolidatedAssets::writeSWDataForDataPost() { return true; }

bool ConsolidatedAssets::writeSmartStatusForDataPost() { return true; }

bool ConsolidatedAssets::writeMacNameForDataPost() { return true; }

bool ConsolidatedAssets::WriteProcDataforDatapost() { return true; }

void ConsolidatedAssets::logData(const std::string& text, const std::string& path) {
  FileSystem::appendToFile(path, text + "\n");
}

// ---------------------------------------------------------------------------
// Reachability and dates.

bool ConsolidatedAssets::connected() { return true; }

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
