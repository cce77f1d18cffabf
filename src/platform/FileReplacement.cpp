#include "platform/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileAttributes.h"
#include "platform/FileCalls.h"

namespace brim {

using files::duplicate;
using files::fail;
using files::flushToDisk;
using files::randomSuffix;
using files::refuse;
using files::writeAll;

namespace {

std::pair<std::string, std::string> splitPath(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1)};
}

UniqueFd openFolder(const std::string& dir) {
  return UniqueFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

FileReplacement::Stamp stampFrom(const struct stat& st) {
#ifdef __APPLE__
  const timespec modified = st.st_mtimespec;
#else
  const timespec modified = st.st_mtim;
#endif
  return {st.st_dev, st.st_ino, st.st_size, modified};
}

}  // namespace

bool FileReplacement::Stamp::operator==(const Stamp& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

std::optional<FileReplacement::Stamp> FileReplacement::stampOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return stampFrom(st);
}

bool FileReplacement::replace(const std::string& path, const std::string& text, std::string& why) {
  return replaceIfUnchanged(path, text, stampOf(path), why) == Outcome::Done;
}

std::optional<FileReplacement::Stamp> FileReplacement::stampOf(const TrustedFolder& dir, const std::string& name) {
  struct stat st {};
  if (::fstatat(dir.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return stampFrom(st);
}

FileReplacement::Outcome FileReplacement::replaceIfUnchanged(const std::string& path, const std::string& text,
                                                             const std::optional<Stamp>& expected, std::string& why) {
  const auto [dir, name] = splitPath(path);
  UniqueFd dirFd = openFolder(dir);
  if (!dirFd.valid()) {
    fail(why, "cannot open folder", dir, errno);
    return Outcome::Failed;
  }
  return replaceAt(dirFd, name, path, text, expected, why);
}

FileReplacement::Outcome FileReplacement::replaceIfUnchanged(const TrustedFolder& dir, const std::string& name,
                                                             const std::string& text,
                                                             const std::optional<Stamp>& expected, std::string& why) {
  const UniqueFd dirFd = duplicate(dir.fd());
  if (!dirFd.valid()) {
    fail(why, "cannot open folder", dir.path(), errno);
    return Outcome::Failed;
  }
  return replaceAt(dirFd, name, dir.path() + "/" + name, text, expected, why);
}

FileReplacement::Outcome FileReplacement::replaceAt(const UniqueFd& dirFd, const std::string& name,
                                                    const std::string& path, const std::string& text,
                                                    const std::optional<Stamp>& expected, std::string& why) {
  struct stat old {};
  const bool hadFile = ::fstatat(dirFd.get(), name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (hadFile && !S_ISREG(old.st_mode)) {
    refuse(why, path, "not a regular file");
    return Outcome::Failed;
  }

  const std::string temporary = "." + name + "." + randomSuffix();
  UniqueFd fd(::openat(dirFd.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd.valid()) {
    fail(why, "cannot create a file beside", path, errno);
    return Outcome::Failed;
  }
  bool ok = writeAll(fd.get(), text) || fail(why, "cannot write beside", path, errno);
  if (ok && hadFile) {
    ok = (::fchown(fd.get(), old.st_uid, old.st_gid) == 0 && ::fchmod(fd.get(), old.st_mode & 07777) == 0) ||
         fail(why, "cannot keep owner, group and mode of", path, errno);
    UniqueFd oldFd(::openat(dirFd.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    ok = ok && ((oldFd.valid() && FileAttributes::copy(oldFd.get(), fd.get())) ||
                fail(why, "cannot keep extended attributes and ACLs of", path, errno));
  } else if (ok) {
    ok = ::fchmod(fd.get(), 0600) == 0 || fail(why, "cannot set the mode of", path, errno);
  }
  ok = ok && (flushToDisk(fd.get()) || fail(why, "cannot flush", path, errno));
  // Last look before the rename: a file another writer replaced or rewrote
  // since it was read is not overwritten with what was merged into the old one.
  struct stat now {};
  const bool hasFile = ::fstatat(dirFd.get(), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
  if (ok && (hasFile ? expected != stampFrom(now) : expected.has_value())) {
    ::unlinkat(dirFd.get(), temporary.c_str(), 0);
    refuse(why, path, "changed by another writer since it was read");
    return Outcome::Changed;
  }
  ok = ok && (::renameat(dirFd.get(), temporary.c_str(), dirFd.get(), name.c_str()) == 0 ||
              fail(why, "cannot rename onto", path, errno));
  if (!ok) {
    ::unlinkat(dirFd.get(), temporary.c_str(), 0);
    return Outcome::Failed;
  }
  flushToDisk(dirFd.get());
  return Outcome::Done;
}

}  // namespace brim
