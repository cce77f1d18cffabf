#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/FileCalls.h"
#include "platform/Paths.h"
#include "platform/PendingFile.h"

namespace brim {

bool files::flushToDisk(int fd) { return ::fsync(fd) == 0; }

// A file system without unnamed files refuses O_TMPFILE: the caller takes a hidden name.
bool PendingFile::openUnnamed() {
  fd_.reset(::openat(dirFd_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
  return fd_.valid();
}

int PendingFile::linkUnnamed(const std::string& name) {
  int linked = ::linkat(fd_.get(), "", dirFd_.get(), name.c_str(), AT_EMPTY_PATH);
  if (linked != 0 && errno != EEXIST) {
    // Without the privilege for an empty path the process's own fd link serves.
    const std::string self = std::string(Paths::kOwnFileDescriptors) + "/" + std::to_string(fd_.get());
    linked = ::linkat(AT_FDCWD, self.c_str(), dirFd_.get(), name.c_str(), AT_SYMLINK_FOLLOW);
  }
  return linked;
}

}  // namespace brim
