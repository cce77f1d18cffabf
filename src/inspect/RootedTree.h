#pragma once
// An agent installation as brim_inspect reads it: the machine itself (top "/")
// or a copy under --root, which may come from anybody and is read as hostile
// input. Every path is resolved inside the top folder, so no link and no ".."
// leads out of it; only regular files are read, opened without blocking so
// that a FIFO or a device cannot hold the reader, and never more than
// kMaxFileSize bytes of one.
#include <sys/stat.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace brim::inspect {

class RootedTree {
 public:
  // No file of an installation comes near this; a bigger one is refused, not cut.
  static constexpr std::size_t kMaxFileSize = 64u << 20;

  // top: an absolute folder. Paths are given as this process sees them, with
  // top in front (as Paths::fixed makes them).
  explicit RootedTree(std::string top);

  const std::string& top() const { return top_; }

  // The whole file; absent, with why set, when it is missing, not a regular
  // file, larger than kMaxFileSize or reached only through a link that leaves the tree.
  std::optional<std::string> readFile(const std::string& path, std::string& why) const;
  // Its last `bytes` bytes at most, from the start of a line, under the same rules.
  std::optional<std::string> readTail(const std::string& path, std::size_t bytes, std::string& why) const;
  // What is at path, links inside the tree followed; absent, with why set, when nothing is.
  std::optional<struct stat> status(const std::string& path, std::string& why) const;
  // What is at path itself, a link not followed (the folders above it
  // resolved inside the tree); absent, with why set, when nothing is.
  std::optional<struct stat> linkStatus(const std::string& path, std::string& why) const;
  // True when path names a regular file no larger than kMaxFileSize through
  // no link at all, so that a reader that opens the path itself reaches it too.
  bool isPlainFile(const std::string& path, std::string& why) const;
  // The folder at path, reached through no link at all, for reading and
  // writing by descriptor; invalid, with why set, when it cannot be.
  UniqueFd openFolder(const std::string& path, std::string& why) const;

  // The regular file `name` in the open folder dir, not through a link, under
  // the rules of readFile, its status in st. Absent with why empty when
  // there is no such file; absent with why set when it cannot be read.
  static std::optional<std::string> readFileAt(int dir, const std::string& name, struct stat& st, std::string& why);

 private:
  // The open file (or folder) at path, read-only and not blocking; invalid,
  // with why set, when it cannot be. refuseLinks: reached through no link at all.
  UniqueFd openReadOnly(const std::string& path, std::string& why, bool refuseLinks = false) const;
  // The same for a regular file only, its status in st.
  UniqueFd openRegular(const std::string& path, struct stat& st, std::string& why) const;
  // Opens `below` (relative to top) inside the tree, each OS its own way;
  // errno set when it cannot.
  UniqueFd openInside(const std::string& below, int flags) const;
  // The portable way: one component at a time from top, refusing every link and "..".
  UniqueFd openByWalk(const std::string& below, int flags) const;

  std::string top_;
  UniqueFd topFd_;
};

}  // namespace brim::inspect
