#include "platform/PendingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileCalls.h"

namespace brim {

using files::duplicate;
using files::fail;
using files::flushToDisk;
using files::randomSuffix;
using files::writeAll;

std::optional<PendingFile> PendingFile::open(const TrustedFolder& dir, const TrustedFolder* staging, std::string& why) {
  PendingFile file;
  file.dir_ = dir.path();
  file.dirFd_ = duplicate(dir.fd());
  if (!file.dirFd_.valid()) {
    fail(why, "cannot open folder", dir.path(), errno);
    return std::nullopt;
  }
  if (file.openUnnamed()) return file;
  // A link joins two folders of one volume only: elsewhere the hidden name is in dir itself.
  struct stat dirStat {};
  struct stat stagingStat {};
  const bool staged = staging && ::fstat(dir.fd(), &dirStat) == 0 && ::fstat(staging->fd(), &stagingStat) == 0 &&
                      dirStat.st_dev == stagingStat.st_dev;
  file.stagingFd_ = duplicate(staged ? staging->fd() : dir.fd());
  for (int attempt = 0; attempt < 100 && file.stagingFd_.valid() && !file.fd_.valid(); ++attempt) {
    file.hiddenName_ = std::string(kHiddenPrefix) + randomSuffix();
    file.fd_.reset(::openat(file.stagingFd_.get(), file.hiddenName_.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.fd_.valid() && errno != EEXIST) break;
  }
  if (!file.fd_.valid()) {
    file.hiddenName_.clear();
    fail(why, "cannot create a file in", staged ? staging->path() : dir.path(), errno);
    return std::nullopt;
  }
  return file;
}

PendingFile::~PendingFile() {
  if (!hiddenName_.empty() && stagingFd_.valid()) ::unlinkat(stagingFd_.get(), hiddenName_.c_str(), 0);
}

bool PendingFile::writeAndFlush(const std::string& text, std::string& why) {
  // The mode is set explicitly: the process's umask must not narrow it.
  if (!writeAll(fd_.get(), text) || ::fchmod(fd_.get(), 0644) != 0 || !flushToDisk(fd_.get())) {
    return fail(why, "cannot write a file in", dir_, errno);
  }
  return true;
}

PendingFile::Naming PendingFile::nameAs(const std::string& name, std::string& why) {
  // A link never replaces an existing name.
  const int linked = hiddenName_.empty()
                         ? linkUnnamed(name)
                         : ::linkat(stagingFd_.get(), hiddenName_.c_str(), dirFd_.get(), name.c_str(), 0);
  if (linked != 0) {
    if (errno == EEXIST) return Naming::Taken;
    const int error = errno;
    fail(why, "cannot name", dir_ + "/" + name, error);
    return error == EXDEV ? Naming::OtherVolume : Naming::Failed;
  }
  if (!hiddenName_.empty()) {
    ::unlinkat(stagingFd_.get(), hiddenName_.c_str(), 0);
    hiddenName_.clear();
  }
  // The name is given: a folder that cannot be flushed does not take it back.
  flushToDisk(dirFd_.get());
  return Naming::Named;
}

}  // namespace brim
