#pragma once
// What a file carries beside its bytes, owner and mode: extended attributes
// and access control lists. A file replaced by a new one written beside it
// must get them too, or an administrator's grants and tags vanish on the
// next write.
#include <string>

namespace brim {

class FileAttributes {
 public:
  // Copies the extended attributes and access control lists of the open file
  // from onto the open file to; false, with errno set, when one cannot be copied.
  static bool copy(int from, int to);

  // Whether an access control list lets a user other than root write to,
  // append to, delete or change the permissions of the open file fd, or of
  // the thing at path (not followed) when fd is negative. A list that cannot
  // be read counts as one that does.
  static bool othersMayModify(int fd, const std::string& path);
};

}  // namespace brim
