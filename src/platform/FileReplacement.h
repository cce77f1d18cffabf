#pragma once
// A file replaced by a new text as one step: written and flushed beside it,
// then renamed over it, so that a reader finds the old file or the new one,
// never half of either. Only the agent's configuration is written this way.
#include <sys/types.h>

#include <ctime>
#include <optional>
#include <string>

#include "platform/TrustedPath.h"
#include "platform/UniqueFd.h"

namespace brim {

class FileReplacement {
 public:
  // Which file a path names and how far it was written: two equal stamps
  // taken apart mean nobody replaced or rewrote the file in between.
  struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const Stamp& other) const;
  };
  // The stamp of the file at path (not followed); absent when nothing is there.
  static std::optional<Stamp> stampOf(const std::string& path);
  // The same for the file name in dir.
  static std::optional<Stamp> stampOf(const TrustedFolder& dir, const std::string& name);

  // Replaces the file at path by text, keeping the old file's owner, group,
  // mode, extended attributes and ACLs; when they cannot be kept the old file
  // stays. A file made where none was is the owner's alone.
  static bool replace(const std::string& path, const std::string& text, std::string& why);

  // Changed: another writer came in between, and the file is left as it made it.
  enum class Outcome { Done, Changed, Failed };
  // replace, but only when the file still has the stamp expected (absent:
  // still missing) just before it is replaced.
  static Outcome replaceIfUnchanged(const std::string& path, const std::string& text,
                                    const std::optional<Stamp>& expected, std::string& why);
  // The same for the file name in dir: replaced and renamed by the folder held open.
  static Outcome replaceIfUnchanged(const TrustedFolder& dir, const std::string& name, const std::string& text,
                                    const std::optional<Stamp>& expected, std::string& why);

 private:
  static Outcome replaceAt(const UniqueFd& dirFd, const std::string& name, const std::string& path,
                           const std::string& text, const std::optional<Stamp>& expected, std::string& why);
};

}  // namespace brim
