#pragma once
#include <string>
#include <vector>

namespace brim {

// Reads line-oriented work files from one directory.
class FileOperations {
 public:
  // The non-empty lines of "<dataStorageDir>/<name>", in order; empty when unreadable.
  std::vector<std::string> getDataFromFileWithName(const std::string& name) const;

  std::string dataStorageDir;
};

}  // namespace brim
