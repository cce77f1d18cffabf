#pragma once
// What a file carries beside its bytes, owner and mode: extended attributes
// and access control lists. A file replaced by a new one written beside it
// must get them too, or an administrator's grants and tags vanish on the
// next write.
namespace brim {

class FileAttributes {
 public:
  // Copies the extended attributes and access control lists of the open file
  // from onto the open file to; false, with errno set, when one cannot be copied.
  static bool copy(int from, int to);
};

}  // namespace brim
