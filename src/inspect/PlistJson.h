#pragma once
// The settings and web-post files as JSON, for scripts: the file's own
// structure, each secret masked unless decrypt is set (as shownString shows it).
#include <ostream>
#include <string>

#include "inspect/RootedTree.h"

namespace brim::inspect {

// The file at path, read inside tree. False, with why set, when it cannot be
// read as a property-list dictionary.
bool printPlistFileJson(std::ostream& out, const RootedTree& tree, const std::string& path, bool decrypt,
                        std::string& why);

}  // namespace brim::inspect
