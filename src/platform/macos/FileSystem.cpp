#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/FileCalls.h"
#include "platform/PendingFile.h"

namespace brim {

// fsync on macOS hands the data to the drive, which may keep it in its cache;
// F_FULLFSYNC asks the drive to write it. File systems that cannot (network
// volumes, some external ones) refuse it, and fsync is all they offer.
bool files::flushToDisk(int fd) { return ::fcntl(fd, F_FULLFSYNC) == 0 || ::fsync(fd) == 0; }

// macOS has no unnamed files: every file is written under a hidden name first.
bool PendingFile::openUnnamed() { return false; }

int PendingFile::linkUnnamed(const std::string&) {
  errno = ENOTSUP;
  return -1;
}

}  // namespace brim
