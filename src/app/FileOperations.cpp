// Placeholder.
#include "app/FileOperations.h"

namespace brim {
std::vector<std::string> FileOperations::getDataFromFileWithName(const std::string&) const { return {}; }
}  // namespace brim
