#include "config/RunFolder.h"

#include <chrono>
#include <optional>

#include "config/GlobalPreferences.h"
#include "platform/CustomLogger.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/PendingFile.h"

namespace brim {
namespace {

constexpr std::string_view kPrefix = "autodelete_run.";
// Older than any run: a run waits at most a minute for the lock and then
// works for minutes, not hours.
constexpr std::chrono::hours kStaleAfter{1};

struct Current {
  std::optional<TrustedFolder> parent;
  std::string name;
  std::optional<TrustedFolder> folder;
};

Current& current() {
  static Current value;
  return value;
}

// The agent's temporary folder; absent, and logged, when it cannot be used.
std::optional<TrustedFolder> temporaryFolder(const Sig& sig) {
  const MacFolderSettings folders = GlobalPreferences::getSharedInstance().macFodler();
  std::string why;
  std::optional<TrustedFolder> folder = folders.writableFolder(folders.tempDirRelative(), why);
  if (!folder) logAt(sig, "temporary folder not used: " + why);
  return folder;
}

}  // namespace

std::string RunFolder::path() {
  const TrustedFolder* run = folder();
  return run ? run->path() : Paths::fixed(Paths::kNoFolder) + "/" + std::string(kPrefix);
}

const TrustedFolder* RunFolder::folder() {
  constexpr Sig sig = Sig::classLevel("RunFolder", "path");
  Current& run = current();
  std::optional<TrustedFolder> parent = temporaryFolder(sig);
  if (!parent) return nullptr;
  // Made again when the settings name another temporary folder (a reload),
  // or when what is at its name is no longer the folder this run made.
  if (!run.folder || run.parent->path() != parent->path() ||
      !FileSystem::isSameFolder(*parent, run.name, *run.folder)) {
    std::string why;
    std::optional<TrustedFolder> made = FileSystem::makePrivateFolder(*parent, std::string(kPrefix), why);
    if (!made) {
      logAt(sig, why);
      return nullptr;
    }
    run.name = made->path().substr(made->path().rfind('/') + 1);
    run.folder = std::move(made);
  }
  run.parent = std::move(parent);
  return &*run.folder;
}

void RunFolder::remove() {
  Current& run = current();
  // What is left is a stale entry the next run clears.
  std::string unasked;
  if (run.folder) FileSystem::removeTree(*run.parent, run.name, unasked);
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
    FileSystem::removeStaleEntries(*dataPost, std::string(PendingFile::kHiddenPrefix), kStaleAfter);
  }
  // A settings write-back killed before its rename: ".settings.plist.<random>" beside the file.
  const std::string settings = GlobalPreferences::settingsFilePath();
  const size_t slash = settings.rfind('/');
  if (const auto config = TrustedFolder::open(settings.substr(0, slash), why)) {
    FileSystem::removeStaleEntries(*config, "." + settings.substr(slash + 1) + ".", kStaleAfter);
  }
}

}  // namespace brim
