#include "platform/FileOperations.h"

#include "platform/CustomLogger.h"
#include "platform/FileSystem.h"
#include "platform/ShellCommand.h"
#include "platform/Text.h"
#include "platform/TextEncoding.h"

namespace brim {
namespace {
constexpr auto kGetData = Sig::instance("FileOperations", "getDataFromFileWithName:");
}  // namespace

std::vector<std::string> FileOperations::getDataFromFileWithName(const std::string& name) const {
  const std::string fullFileName = dataStorageDir + "/" + name;
  logAt(kGetData, "fullFileName=" + fullFileName);
  // The files read here are commands' output: read back up to the same bound.
  std::optional<std::string> content = FileSystem::readFile(fullFileName, ShellCommand::kOutputLimit + 1);
  if (!content) return {};
  if (content->size() > ShellCommand::kOutputLimit) {
    content->resize(ShellCommand::kOutputLimit);
    logAt(kGetData, fullFileName + ": over " + std::to_string(ShellCommand::kOutputLimit) + " bytes: cut at that size");
  }
  std::vector<std::string> lines = nonEmptyLines(TextEncoding::decodeDetected(*content));
  for (const std::string& line : lines) logAt(kGetData, line);
  return lines;
}

}  // namespace brim
