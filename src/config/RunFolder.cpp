#include "config/RunFolder.h"

#include <chrono>
#include <optional>

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

// The agent's temporary folder; absent, and logged, when it cannot be used.
std::optional<std::string> temporaryFolder(const Sig& sig) {
  const MacFolderSettings folders = GlobalPreferences::getSharedInstance().macFodler();
  std::string why;
  std::optional<std::string> folder = folders.writableFolder(folders.tempDirRelative(), why);
  if (!folder) logAt(sig, "temporary folder not used: " + why);
  return folder;
}

}  // namespace

std::string RunFolder::path() {
  constexpr Sig sig = Sig::classLevel("RunFolder", "path");
  Current& run = current();
  const std::string noFolder = Paths::fixed(Paths::kNoFolder) + "/" + std::string(kPrefix);
  const std::optional<std::string> parent = temporaryFolder(sig);
  if (!parent) return noFolder;
  // Made again when the settings name another temporary folder (a reload),
  // or when what is at its name is no longer the folder this run made.
  if (run.folder.empty() || run.parent != *parent || !FileSystem::isPrivateFolder(run.folder)) {
    run.parent = *parent;
    if (auto made = FileSystem::makePrivateFolder(*parent, std::string(kPrefix))) {
      run.folder = *made;
    } else {
      logAt(sig, FileSystem::lastFailure());
      return noFolder;
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
  constexpr Sig sig = Sig::classLevel("RunFolder", "removeStale");
  const MacFolderSettings folders = GlobalPreferences::getSharedInstance().macFodler();
  if (const auto temporary = temporaryFolder(sig)) {
    FileSystem::removeStaleEntries(*temporary, std::string(kPrefix), kStaleAfter);
  }
  std::string why;
  if (const auto dataPost = folders.writableFolder(folders.dataPostDirRelative(), why)) {
    FileSystem::removeStaleEntries(*dataPost, std::string(FileSystem::kPendingPrefix), kStaleAfter);
  }
  // A settings write-back killed before its rename: ".settings.plist.<random>" beside the file.
  const std::string settings = GlobalPreferences::settingsFilePath();
  const size_t slash = settings.rfind('/');
  FileSystem::removeStaleEntries(settings.substr(0, slash), "." + settings.substr(slash + 1) + ".", kStaleAfter);
}

}  // namespace brim
