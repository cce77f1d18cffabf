#pragma once
// How each job last went, as the tool's log tells it.
#include <vector>

#include "inspect/Installation.h"

namespace brim::inspect {

class RootedTree;

void checkLastRuns(std::vector<Check>& checks, const RootedTree& tree);

}  // namespace brim::inspect
