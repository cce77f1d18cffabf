#pragma once
// A file being written where no reader can take it, then given its name in
// one step: a reader of the folder meets the whole file or none. Unnamed where
// the system and the file system have such files, else under a hidden name
// (kHiddenPrefix) that the next run clears when a killed one left it.
#include <optional>
#include <string>
#include <string_view>

#include "platform/TrustedPath.h"
#include "platform/UniqueFd.h"

namespace brim {

class PendingFile {
 public:
  // What the hidden name of a file being written starts with.
  static constexpr std::string_view kHiddenPrefix = ".autodelete_";

  // A file to be named in dir, written in staging when that is given and on
  // dir's volume (a hidden name there is never met by a reader of dir);
  // absent, with why set, when none can be made.
  static std::optional<PendingFile> open(const TrustedFolder& dir, const TrustedFolder* staging, std::string& why);
  PendingFile(PendingFile&&) = default;
  ~PendingFile();
  // The text, with mode 0644 whatever the umask, on the disk.
  bool writeAndFlush(const std::string& text, std::string& why);
  // Taken: the name exists and was left alone; OtherVolume: staged where a
  // link cannot reach dir after all (another mount of the volume).
  enum class Naming { Named, Taken, OtherVolume, Failed };
  Naming nameAs(const std::string& name, std::string& why);

 private:
  PendingFile() = default;
  // An unnamed file in the folder, where the system and the file system have them.
  bool openUnnamed();
  // Links the unnamed file under name, as linkat does.
  int linkUnnamed(const std::string& name);
  std::string dir_;
  UniqueFd dirFd_;
  UniqueFd stagingFd_;  // where the hidden name is: dir's own descriptor, or the staging folder's
  UniqueFd fd_;
  std::string hiddenName_;  // empty for an unnamed file
};

}  // namespace brim
