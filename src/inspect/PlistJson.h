#pragma once
// The settings and web-post files as JSON, for scripts: the file's own
// structure, each encrypted value masked as "(encrypted)" unless decrypt is set.
#include <ostream>
#include <string>

namespace brim::inspect {

// False, with error set, when the file cannot be read as a property-list dictionary.
bool printPlistFileJson(std::ostream& out, const std::string& path, bool decrypt, std::string& error);

}  // namespace brim::inspect
