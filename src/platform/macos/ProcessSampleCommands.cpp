#include "platform/ProcessSampleCommands.h"

namespace brim {

// The BSD ps sorts by processor share with -r and by memory share with -m.
const std::string_view ProcessSampleCommands::kByProcessor = "ps -eo pcpu,pmem,command -r | head -21 | tail -20>";
const std::string_view ProcessSampleCommands::kByMemory = "ps -eo pcpu,pmem,command -m | head -21 | tail -20>>";

}  // namespace brim
