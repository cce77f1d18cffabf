#include "config/RunFolder.h"

#include <chrono>

#include "config/GlobalPreferences.h"
#include "platform/CustomLogger.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace brim {
namespace {

constexpr std::string_view kPrefix = "autodelete_run.";
// Older than any run: a run waits at most a minute for the lock and then
// works for minutes, not hours.
constexpr std::chrono::hours kStaleAfter{1};

struct Current {
  std::string parent;
  std::string folder;
};

Current& current() {
  static Current value;
  return value;
}

std::string temporaryFolder() {
  const MacFolderSettings folders = GlobalPreferences::getSharedInstance().macFodler();
  return folders.folder(folders.tempDirRelative());
}

}  // namespace

std::string RunFolder::path() {
  Current& run = current();
  const std::string parent = temporaryFolder();
  // Made again when the settings name another temporary folder (a reload),
  // or when what is at its name is no longer the folder this run made.
  if (run.folder.empty() || run.parent != parent || !FileSystem::isPrivateFolder(run.folder)) {
    run.parent = parent;
    if (auto made = FileSystem::makePrivateFolder(parent, std::string(kPrefix))) {
      run.folder = *made;
    } else {
      logAt(Sig::classLevel("RunFolder", "path"), FileSystem::lastFailure());
      return Paths::fixed(Paths::kNoFolder) + "/" + std::string(kPrefix);
    }
  }
  return run.folder;
}

void RunFolder::remove() {
  Current& run = current();
  if (!run.folder.empty()) FileSystem::removeTree(run.folder);
  run = Current{};
}

void RunFolder::removeStale() {
  const MacFolderSettings folders = GlobalPreferences::getSharedInstance().macFodler();
  FileSystem::removeStaleEntries(temporaryFolder(), std::string(kPrefix), kStaleAfter);
  FileSystem::removeStaleEntries(folders.folder(folders.dataPostDirRelative()), std::string(FileSystem::kPendingPrefix),
                                 kStaleAfter);
}

}  // namespace brim
