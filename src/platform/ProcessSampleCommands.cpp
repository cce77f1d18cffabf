#include "platform/ProcessSampleCommands.h"

#include "platform/ShellCommand.h"

namespace brim {
namespace {

std::string intoSampleFile(std::string_view pipeline, const std::string& dir) {
  return std::string(pipeline) + shellQuoted(dir + "/CPUProcInfo");
}

}  // namespace

std::string ProcessSampleCommands::byProcessorShare(const std::string& dir) {
  return intoSampleFile(kByProcessor, dir);
}

std::string ProcessSampleCommands::byMemoryShare(const std::string& dir) { return intoSampleFile(kByMemory, dir); }

}  // namespace brim
