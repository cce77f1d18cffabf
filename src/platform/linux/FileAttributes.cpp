#include "platform/FileAttributes.h"

#include <sys/types.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace brim {
namespace {

// The bytes a size-asking call reports, fetched again while another process
// changes them between the two calls (ERANGE); absent on any other failure.
template <class Read>
bool readSized(std::string& out, Read&& read) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = read(nullptr, 0);
    if (size < 0) return false;
    out.resize(static_cast<size_t>(size));
    const ssize_t got = read(out.data(), out.size());
    if (got >= 0) {
      out.resize(static_cast<size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
  return false;
}

}  // namespace

// The access control list lives in the attribute "system.posix_acl_access",
// so copying every attribute copies it too.
bool FileAttributes::copy(int from, int to) {
  std::string names;
  if (!readSized(names, [from](char* buffer, size_t size) { return ::flistxattr(from, buffer, size); })) {
    return errno == ENOTSUP;  // a file system without attributes has none to keep
  }
  for (size_t at = 0; at < names.size();) {
    const std::string name(names.c_str() + at);
    at += name.size() + 1;
    std::string value;
    if (!readSized(value, [from, &name](char* buffer, size_t size) {
          return ::fgetxattr(from, name.c_str(), buffer, size);
        })) {
      if (errno == ENODATA) continue;  // removed meanwhile
      return false;
    }
    if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

}  // namespace brim

namespace brim {

// A POSIX ACL entry for a user or group other than the owner is capped by the
// mask, and the mask is what the mode's group bits show: a folder whose group
// bits forbid writing forbids it to every named entry as well, so the mode
// check alone already covers the ACL here.
bool FileAttributes::othersMayModify(int, const std::string&) { return false; }

}  // namespace brim
