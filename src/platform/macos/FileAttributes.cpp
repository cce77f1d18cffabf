#include "platform/FileAttributes.h"

#include <copyfile.h>
#include <sys/acl.h>
#include <sys/types.h>

#include <cerrno>
#include <memory>

// <membership.h>, part of libSystem: which user or group an ACL entry's UUID names.
extern "C" int mbr_uuid_to_id(const unsigned char uuid[16], id_t* id, int* idType);

namespace brim {
namespace {

constexpr int kIdTypeUid = 0;  // ID_TYPE_UID

// Frees an ACL or a qualifier that the ACL calls handed out.
struct AclFree {
  void operator()(void* object) const { ::acl_free(object); }
};

// What lets a user change the file or folder, or what is in it: writing or
// adding entries, appending or adding folders, deleting it or its entries,
// and changing its permissions or owner.
constexpr acl_perm_t kModifying[] = {ACL_WRITE_DATA,   ACL_APPEND_DATA,    ACL_DELETE,
                                     ACL_DELETE_CHILD, ACL_WRITE_SECURITY, ACL_CHANGE_OWNER};

bool namesRoot(acl_entry_t entry) {
  std::unique_ptr<void, AclFree> qualifier(::acl_get_qualifier(entry));
  if (!qualifier) return false;
  id_t id = 0;
  int type = -1;
  return ::mbr_uuid_to_id(static_cast<const unsigned char*>(qualifier.get()), &id, &type) == 0 && type == kIdTypeUid &&
         id == 0;
}

}  // namespace

bool FileAttributes::copy(int from, int to) {
  return ::fcopyfile(from, to, nullptr, COPYFILE_XATTR | COPYFILE_ACL) == 0;
}

// macOS grants by ACL without touching the mode bits (chmod +a), so a folder
// that looks root-only by its mode may still be open to a user.
bool FileAttributes::othersMayModify(int fd, const std::string& path) {
  std::unique_ptr<struct _acl, AclFree> acl(fd >= 0 ? ::acl_get_fd_np(fd, ACL_TYPE_EXTENDED)
                                                    : ::acl_get_link_np(path.c_str(), ACL_TYPE_EXTENDED));
  if (!acl) return errno != ENOENT && errno != ENOTSUP;  // ENOENT: no ACL at all
  acl_entry_t entry = nullptr;
  for (int which = ACL_FIRST_ENTRY; ::acl_get_entry(acl.get(), which, &entry) == 0; which = ACL_NEXT_ENTRY) {
    acl_tag_t tag{};
    acl_permset_t permissions = nullptr;
    if (::acl_get_tag_type(entry, &tag) != 0 || ::acl_get_permset(entry, &permissions) != 0) return true;
    if (tag != ACL_EXTENDED_ALLOW || namesRoot(entry)) continue;
    for (const acl_perm_t permission : kModifying) {
      if (::acl_get_perm_np(permissions, permission) == 1) return true;
    }
  }
  return false;
}

}  // namespace brim
