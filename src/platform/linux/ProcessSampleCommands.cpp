#include "platform/ProcessSampleCommands.h"

namespace brim {

// procps sorts by a named column, highest first with "-".
const std::string_view ProcessSampleCommands::kByProcessor =
    "ps -eo pcpu,pmem,command --sort=-pcpu | head -21 | tail -20>";
const std::string_view ProcessSampleCommands::kByMemory =
    "ps -eo pcpu,pmem,command --sort=-pmem | head -21 | tail -20>>";

}  // namespace brim
