#include "platform/FileAttributes.h"

#include <copyfile.h>

namespace brim {

bool FileAttributes::copy(int from, int to) {
  return ::fcopyfile(from, to, nullptr, COPYFILE_XATTR | COPYFILE_ACL) == 0;
}

}  // namespace brim
