#include "platform/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace brim {

// fsync on macOS hands the data to the drive, which may keep it in its cache;
// F_FULLFSYNC asks the drive to write it. File systems that cannot (network
// volumes, some external ones) refuse it, and fsync is all they offer.
bool FileSystem::flushToDisk(int fd) { return ::fcntl(fd, F_FULLFSYNC) == 0 || ::fsync(fd) == 0; }

// macOS has no unnamed files: every file is written under a hidden name first.
bool FileSystem::PendingFile::openUnnamed() { return false; }

int FileSystem::PendingFile::linkUnnamed(const std::string&) {
  errno = ENOTSUP;
  return -1;
}

}  // namespace brim
