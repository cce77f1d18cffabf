#include "platform/ProcessSampleCommands.h"

#include <string_view>

#include "platform/ShellCommand.h"

namespace brim {
namespace {

#if defined(__APPLE__)
constexpr std::string_view kByProcessor = "ps -eo pcpu,pmem,command -r | head -21 | tail -20>";
constexpr std::string_view kByMemory = "ps -eo pcpu,pmem,command -m | head -21 | tail -20>>";
#else
constexpr std::string_view kByProcessor = "ps -eo pcpu,pmem,command --sort=-pcpu | head -21 | tail -20>";
constexpr std::string_view kByMemory = "ps -eo pcpu,pmem,command --sort=-pmem | head -21 | tail -20>>";
#endif

std::string intoSampleFile(std::string_view pipeline, const std::string& dir) {
  return std::string(pipeline) + shellQuoted(dir + "/CPUProcInfo");
}

}  // namespace

std::string ProcessSampleCommands::byProcessorShare(const std::string& dir) {
  return intoSampleFile(kByProcessor, dir);
}

std::string ProcessSampleCommands::byMemoryShare(const std::string& dir) { return intoSampleFile(kByMemory, dir); }

}  // namespace brim
