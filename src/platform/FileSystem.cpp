#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/FileCalls.h"

namespace brim {
namespace {

using files::duplicate;
using files::fail;
using files::flushToDisk;
using files::isOwnRegular;
using files::randomSuffix;
using files::refuse;
using files::writeAll;

// What stands at a name where a file of ours was expected, for the log.
std::string whatIsThere(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return "a folder is there, not a file";
  if (S_ISLNK(st.st_mode)) return "a symbolic link is there, not a file";
  if (!S_ISREG(st.st_mode)) return "a pipe, socket or device is there, not a file";
  if (st.st_uid != ::geteuid()) return "the file there belongs to user " + std::to_string(st.st_uid);
  return "the file there has " + std::to_string(st.st_nlink) + " names";
}

// Opens the existing file name in dirFd (shown as path), or creates it when
// create is set, without following a link and without blocking on a pipe
// planted at the name; refuses what is not a regular file of ours.
UniqueFd openOwnFileAt(int dirFd, const std::string& name, const std::string& path, int flags, bool create,
                       std::string& why, mode_t mode = 0644) {
  UniqueFd fd(
      ::openat(dirFd, name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT : 0), mode));
  if (!fd.valid()) {
    if (errno == ELOOP || errno == ENXIO) {
      refuse(why, path);
    } else {
      fail(why, "cannot open", path, errno);
    }
    return fd;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !isOwnRegular(st)) {
    refuse(why, path);
    fd.reset();
  }
  return fd;
}

// Removes name in dirFd and, for a folder, everything in it, never following a
// link. Deeper than any tree the tool makes, a folder is left.
bool removeAt(int dirFd, const std::string& name, const std::string& path, std::string& why, int depth = 0) {
  struct stat st {};
  if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT || fail(why, "cannot look at", path, errno);
  }
  if (!S_ISDIR(st.st_mode)) return ::unlinkat(dirFd, name.c_str(), 0) == 0 || fail(why, "cannot remove", path, errno);
  if (depth > 32) return refuse(why, path, "too deep to remove");
  UniqueFd folder(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  DIR* entries = folder.valid() ? ::fdopendir(folder.get()) : nullptr;
  if (!entries) return fail(why, "cannot open folder", path, errno);
  static_cast<void>(folder.release());  // closedir closes it
  bool removed = true;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(entries)) {
    const std::string_view entryName = entry->d_name;
    if (entryName != "." && entryName != "..") names.emplace_back(entryName);
  }
  for (const std::string& entryName : names)
    removed = removeAt(::dirfd(entries), entryName, path + "/" + entryName, why, depth + 1) && removed;
  ::closedir(entries);
  return (removed && ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0) ||
         (removed && fail(why, "cannot remove", path, errno));
}

}  // namespace

bool FileSystem::exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool FileSystem::removeFile(const std::string& path, std::string& why) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT || fail(why, "cannot remove", path, errno);
}

bool FileSystem::removeFile(const std::string& path) {
  std::string unasked;
  return removeFile(path, unasked);
}

bool FileSystem::removeFile(const TrustedFolder& dir, const std::string& name, std::string& why) {
  return ::unlinkat(dir.fd(), name.c_str(), 0) == 0 || errno == ENOENT ||
         fail(why, "cannot remove", dir.path() + "/" + name, errno);
}

// Walks path one folder at a time from an open folder, so that nothing is
// looked up twice. A component that is a link is followed only when root or
// this user owns it and nobody else may write to the folder holding it (a link
// the system or the installer made); a missing one is made and entered without
// following anything.
bool FileSystem::makeDirectories(const std::string& path, std::string& why, bool makeMissing) {
  UniqueFd dir(::open(path.starts_with('/') ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat dirStat {};
  if (!dir.valid() || ::fstat(dir.get(), &dirStat) != 0) return fail(why, "cannot open", path, errno);
  const auto trustedOwner = [](uid_t uid) { return uid == 0 || uid == ::geteuid(); };
  size_t start = 0;
  while (start < path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    constexpr int kEnter = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd next(::openat(dir.get(), name.c_str(), kEnter));
    if (!next.valid() && errno == ENOENT) {
      if (!makeMissing) return fail(why, "cannot enter", path, ENOENT);
      if (::mkdirat(dir.get(), name.c_str(), 0755) != 0 && errno != EEXIST) {
        return fail(why, "cannot create", path, errno);
      }
      next = UniqueFd(::openat(dir.get(), name.c_str(), kEnter));
    }
    if (!next.valid() && (errno == ELOOP || errno == ENOTDIR)) {
      struct stat link {};
      const bool trusted = ::fstatat(dir.get(), name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
                           S_ISLNK(link.st_mode) && trustedOwner(link.st_uid) && trustedOwner(dirStat.st_uid) &&
                           (dirStat.st_mode & (S_IWGRP | S_IWOTH)) == 0;
      if (!trusted) return refuse(why, path, "\"" + name + "\" is a link others could have made, or not a folder");
      next = UniqueFd(::openat(dir.get(), name.c_str(), kEnter & ~O_NOFOLLOW));
    }
    if (!next.valid() || ::fstat(next.get(), &dirStat) != 0) return fail(why, "cannot enter", path, errno);
    dir = std::move(next);
  }
  return true;
}

bool FileSystem::makeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

void FileSystem::removeTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

namespace {

FileSystem::Create createFileAt(int dirFd, const std::string& name, const std::string& path, const std::string& text,
                                mode_t mode, std::string& why) {
  using Create = FileSystem::Create;
  // O_EXCL never follows a link: a link at the path is an existing entry.
  UniqueFd fd(::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
  if (fd.valid()) {
    if (!writeAll(fd.get(), text)) fail(why, "cannot write", path, errno);
    return Create::Made;
  }
  if (errno != EEXIST) {
    const int error = errno;
    fail(why, "cannot create", path, error);
    return error == EACCES || error == EPERM || error == ENOENT ? Create::Denied : Create::Failed;
  }
  struct stat st {};
  // Gone meanwhile: the next attempt makes it.
  if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Create::Exists;
  // A second name makes someone else's file look like a lock of ours.
  if (isOwnRegular(st)) return Create::Exists;
  refuse(why, path, whatIsThere(st));
  return Create::Foreign;
}

}  // namespace

FileSystem::Create FileSystem::createFile(const TrustedFolder& dir, const std::string& name, std::string& why,
                                          const std::string& text, mode_t mode) {
  return createFileAt(dir.fd(), name, dir.path() + "/" + name, text, mode, why);
}

bool FileSystem::isOwnFileOrMissing(const TrustedFolder& dir, const std::string& name, std::string& why) {
  const std::string path = dir.path() + "/" + name;
  struct stat st {};
  if (::fstatat(dir.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT || fail(why, "cannot look at", path, errno);
  return isOwnRegular(st) || refuse(why, path);
}

bool FileSystem::appendToFile(const std::string& path, std::span<const std::string_view> pieces, std::string& why,
                              mode_t mode) {
  return appendToFileAt(AT_FDCWD, path, path, pieces, mode, why);
}

bool FileSystem::appendToFile(const TrustedFolder& dir, const std::string& name,
                              std::span<const std::string_view> pieces, std::string& why, mode_t mode) {
  return appendToFileAt(dir.fd(), name, dir.path() + "/" + name, pieces, mode, why);
}

bool FileSystem::appendToFileAt(int dirFd, const std::string& name, const std::string& path,
                                std::span<const std::string_view> pieces, mode_t mode, std::string& why) {
  UniqueFd fd = openOwnFileAt(dirFd, name, path, O_WRONLY | O_APPEND, true, why, mode);
  if (!fd.valid()) return false;
  std::vector<iovec> parts;
  for (const std::string_view piece : pieces) {
    if (!piece.empty()) parts.push_back({const_cast<char*>(piece.data()), piece.size()});
  }
  // One writev for the whole line; only a short write (a full disk) continues with what is left.
  size_t next = 0;
  while (next < parts.size()) {
    const int count = static_cast<int>(std::min<size_t>(parts.size() - next, IOV_MAX));
    const ssize_t n = ::writev(fd.get(), parts.data() + next, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail(why, "cannot append to", path, n < 0 ? errno : ENOSPC);
    for (auto done = static_cast<size_t>(n); done > 0 && next < parts.size();) {
      const size_t step = std::min(done, parts[next].iov_len);
      parts[next].iov_base = static_cast<char*>(parts[next].iov_base) + step;
      parts[next].iov_len -= step;
      done -= step;
      if (parts[next].iov_len == 0) ++next;
    }
  }
  return true;
}

bool FileSystem::appendDurably(const TrustedFolder& dir, const std::string& name, const std::string& text,
                               std::string& why) {
  const std::string path = dir.path() + "/" + name;
  struct stat st {};
  if (::fstatat(dir.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT) {
    // A new file appears with its first text whole; one that another process
    // created meanwhile is appended to.
    std::optional<PendingFile> file = PendingFile::open(dir, nullptr, why);
    if (!file || !file->writeAndFlush(text, why)) return false;
    const PendingFile::Naming named = file->nameAs(name, why);
    if (named != PendingFile::Naming::Taken) return named == PendingFile::Naming::Named;
  }
  UniqueFd fd = openOwnFileAt(dir.fd(), name, path, O_WRONLY | O_APPEND, false, why);
  if (!fd.valid()) return false;
  struct stat before {};
  if (::fstat(fd.get(), &before) != 0) return fail(why, "cannot look at", path, errno);
  if (!writeAll(fd.get(), text) || !flushToDisk(fd.get())) {
    // A full disk must not leave half a report at the end of the file.
    const int error = errno;
    if (::ftruncate(fd.get(), before.st_size) == 0) flushToDisk(fd.get());
    return fail(why, "cannot append to", path, error);
  }
  return true;
}

bool FileSystem::truncateFile(const TrustedFolder& dir, const std::string& name, std::string& why) {
  const std::string path = dir.path() + "/" + name;
  UniqueFd fd = openOwnFileAt(dir.fd(), name, path, O_WRONLY, false, why);
  if (!fd.valid()) return false;
  return ::ftruncate(fd.get(), 0) == 0 || fail(why, "cannot empty", path, errno);
}

std::optional<mode_t> FileSystem::setPermissions(const TrustedFolder& dir, const std::string& name, mode_t mode,
                                                 std::string& why) {
  const std::string path = dir.path() + "/" + name;
  UniqueFd fd = openOwnFileAt(dir.fd(), name, path, O_RDONLY, false, why);
  struct stat st {};
  if (!fd.valid()) return std::nullopt;
  if (::fstat(fd.get(), &st) != 0) {
    fail(why, "cannot look at", path, errno);
    return std::nullopt;
  }
  const mode_t was = st.st_mode & 07777;
  if (was != mode && ::fchmod(fd.get(), mode) != 0) {
    fail(why, "cannot change permissions of", path, errno);
    return std::nullopt;
  }
  return was;
}

std::optional<TrustedFolder> FileSystem::makePrivateFolder(const TrustedFolder& parent, const std::string& prefix,
                                                           std::string& why) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = prefix + randomSuffix().substr(0, 6);
    if (::mkdirat(parent.fd(), name.c_str(), 0700) != 0) {
      if (errno == EEXIST) continue;
      break;
    }
    std::string notEntered;
    std::optional<TrustedFolder> folder = parent.enter(name, notEntered);
    struct stat st {};
    if (folder && ::fstat(folder->fd(), &st) == 0 && (st.st_mode & 077) == 0) return folder;
    refuse(why, parent.path() + "/" + name, folder ? "open to other users" : notEntered);
    return std::nullopt;
  }
  fail(why, "cannot create a folder in", parent.path(), errno);
  return std::nullopt;
}

bool FileSystem::isSameFolder(const TrustedFolder& dir, const std::string& name, const TrustedFolder& folder) {
  struct stat atName {};
  struct stat held {};
  return ::fstatat(dir.fd(), name.c_str(), &atName, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(folder.fd(), &held) == 0 &&
         S_ISDIR(atName.st_mode) && atName.st_dev == held.st_dev && atName.st_ino == held.st_ino;
}

bool FileSystem::removeTree(const TrustedFolder& dir, const std::string& name, std::string& why) {
  return removeAt(dir.fd(), name, dir.path() + "/" + name, why);
}

void FileSystem::removeStaleEntries(const TrustedFolder& dir, const std::string& prefix, std::chrono::seconds maxAge) {
  UniqueFd own = duplicate(dir.fd());
  DIR* entries = own.valid() ? ::fdopendir(own.get()) : nullptr;
  if (!entries) return;
  static_cast<void>(own.release());  // closedir closes it
  ::rewinddir(entries);              // the duplicate shares the held descriptor's position
  const time_t now = ::time(nullptr);
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(entries)) {
    const std::string name = entry->d_name;
    struct stat st {};
    if (!name.starts_with(prefix) || name == "." || name == "..") continue;
    if (::fstatat(dir.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && now - st.st_mtime > maxAge.count()) {
      stale.push_back(name);
    }
  }
  ::closedir(entries);
  // What a killed run left is cleared again by the next: a failure here is nobody's to log.
  std::string unasked;
  for (const std::string& name : stale) removeAt(dir.fd(), name, dir.path() + "/" + name, unasked);
}

std::optional<std::string> FileSystem::readFile(const std::string& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string content;
  // One buffer of the file's own size: a report of tens of megabytes is not held twice while it is read.
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size > 0) {
    content.reserve(std::min(static_cast<std::size_t>(info.st_size), limit) + 1);
  }
  char buffer[65536];
  while (content.size() < limit) {
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - content.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    content.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return content;
}

void FileSystem::waitForNextSecond() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  std::this_thread::sleep_for(std::chrono::seconds(1) - (now % std::chrono::seconds(1)));
}

}  // namespace brim
