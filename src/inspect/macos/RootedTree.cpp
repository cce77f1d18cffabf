// macOS has no call that resolves a path inside a folder: the walk refuses
// every link and "..", which no copied installation needs.
#include "inspect/RootedTree.h"

namespace brim::inspect {

UniqueFd RootedTree::openInside(const std::string& below, int flags) const { return openByWalk(below, flags); }

}  // namespace brim::inspect
