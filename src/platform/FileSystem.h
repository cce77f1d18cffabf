#pragma once
// Direct system calls for the files the tool makes as root. Nothing here
// follows a symbolic link at a path it creates, appends to or truncates, and
// nothing writes into an existing file that is not a regular file of this
// process's user with one name: such a file is refused.
//
// A call that can fail says so in its result and, through the why its caller
// passes, what happened to which path ("cannot remove /a/b: Permission
// denied"), for the caller's log; why is left alone when the call succeeds.
// What the caller acts on (a lock held by another run, a folder that denies
// us) is in the result, never to be read from the text.
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/PendingFile.h"
#include "platform/TrustedPath.h"

namespace brim {

class FileSystem {
 public:
  static bool exists(const std::string& path);
  // rm -f: true when nothing is left at path; a link goes, not what it names.
  static bool removeFile(const std::string& path, std::string& why);
  // The same where the outcome is not looked at.
  static bool removeFile(const std::string& path);
  // The same for the entry name in dir.
  static bool removeFile(const TrustedFolder& dir, const std::string& name, std::string& why);
  // mkdir -p (0755), following only links root or this user made in folders
  // nobody else may write to; anything else in the way is refused. With
  // makeMissing false the folder is only reached by that rule: a missing one fails.
  static bool makeDirectories(const std::string& path, std::string& why, bool makeMissing = true);
  static bool makeDirectory(const std::string& path);  // mkdir
  static void removeTree(const std::string& path);     // rm -r
  // rm -r of the entry name in dir, never following a link; true when nothing is left.
  static bool removeTree(const TrustedFolder& dir, const std::string& name, std::string& why);

  // What an attempt to create a file that must be new found.
  enum class Create { Made, Exists, Foreign, Denied, Failed };
  // Creates the file name in dir with text, never opening anything already there.
  // Exists: a file of this user is there (a lock another run holds);
  // Foreign: something else is (a link, a directory, a file of another
  // user or with a second name), which nobody should wait for or write into;
  // Denied: the folder lets this process make nothing in it (no permission,
  // or the folder is gone), which whoever owns the folder can mend.
  static Create createFile(const TrustedFolder& dir, const std::string& name, std::string& why,
                           const std::string& text = "", mode_t mode = 0644);

  // True when nothing is at name in dir or a regular file of this user with
  // one name is; else the thing there (not followed) is refused.
  static bool isOwnFileOrMissing(const TrustedFolder& dir, const std::string& name, std::string& why);

  // Appends a text in pieces with one write without joining them first, so
  // that lines appended by several processes at once stay whole; creates the
  // file, with mode, when it is missing.
  static bool appendToFile(const std::string& path, std::span<const std::string_view> pieces, std::string& why,
                           mode_t mode = 0644);
  // The same for the file name in dir.
  static bool appendToFile(const TrustedFolder& dir, const std::string& name, std::span<const std::string_view> pieces,
                           std::string& why, mode_t mode = 0644);
  // The same for the file name in dir, flushed to the disk; a missing file
  // appears with its first text whole.
  static bool appendDurably(const TrustedFolder& dir, const std::string& name, const std::string& text,
                            std::string& why);
  // Empties the existing file name in dir in place.
  static bool truncateFile(const TrustedFolder& dir, const std::string& name, std::string& why);
  // Sets the permission bits of the existing file name in dir; the bits it
  // had before, absent on failure.
  static std::optional<mode_t> setPermissions(const TrustedFolder& dir, const std::string& name, mode_t mode,
                                              std::string& why);

  // Writes text to a new file in dir, flushes it and its folder, and gives it
  // the name nameNow() returns; a name that exists is never replaced: after
  // the next second nameNow() is asked again. The name given; absent on failure.
  // Where the system has no unnamed files the text is written under a hidden
  // name in staging, when given and on dir's volume, and only linked into dir
  // once it is on the disk: a reader of dir never meets a half-written file.
  template <class NameNow>
  static std::optional<std::string> writeNewFile(const TrustedFolder& dir, NameNow&& nameNow, const std::string& text,
                                                 std::string& why, const TrustedFolder* staging = nullptr);

  // A new folder "<parent>/<prefix>XXXXXX" that only this user can enter, held open.
  static std::optional<TrustedFolder> makePrivateFolder(const TrustedFolder& parent, const std::string& prefix,
                                                        std::string& why);
  // True when name in dir is still the folder held open as folder.
  static bool isSameFolder(const TrustedFolder& dir, const std::string& name, const TrustedFolder& folder);
  // Removes the entries of dir whose names start with prefix and that were
  // last changed more than maxAge ago: what runs that were killed left.
  static void removeStaleEntries(const TrustedFolder& dir, const std::string& prefix, std::chrono::seconds maxAge);

  // The whole content of a file, or its first limit bytes; absent when it cannot be read.
  static std::optional<std::string> readFile(const std::string& path,
                                             std::size_t limit = std::numeric_limits<std::size_t>::max());

 private:
  static bool appendToFileAt(int dirFd, const std::string& name, const std::string& path,
                             std::span<const std::string_view> pieces, mode_t mode, std::string& why);
  static void waitForNextSecond();
};

template <class NameNow>
std::optional<std::string> FileSystem::writeNewFile(const TrustedFolder& dir, NameNow&& nameNow,
                                                    const std::string& text, std::string& why,
                                                    const TrustedFolder* staging) {
  std::optional<PendingFile> file = PendingFile::open(dir, staging, why);
  if (!file || !file->writeAndFlush(text, why)) return std::nullopt;
  // A clock that stands still must not hold the run for ever.
  for (int attempt = 0; attempt < 60; ++attempt) {
    std::string name = nameNow();
    switch (file->nameAs(name, why)) {
      case PendingFile::Naming::Named:
        return name;
      case PendingFile::Naming::Failed:
        return std::nullopt;
      case PendingFile::Naming::OtherVolume:
        if (!staging) return std::nullopt;
        return writeNewFile(dir, std::forward<NameNow>(nameNow), text, why, nullptr);
      case PendingFile::Naming::Taken:
        waitForNextSecond();
    }
  }
  why = "cannot name a file in " + dir.path() + ": the clock stands still";
  return std::nullopt;
}

}  // namespace brim
