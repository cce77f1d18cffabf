#include "app/FileOperations.h"

#include "app/CustomLogger.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/TextEncoding.h"

namespace brim {
namespace {
constexpr auto kGetData = Sig::instance("FileOperations", "getDataFromFileWithName:");
}  // namespace

std::vector<std::string> FileOperations::getDataFromFileWithName(const std::string& name) const {
  const std::string fullFileName = dataStorageDir + "/" + name;
  logAt(kGetData, "fullFileName=" + fullFileName);
  const std::optional<std::string> content = FileSystem::readFile(fullFileName);
  if (!content) return {};
  std::vector<std::string> lines = nonEmptyLines(TextEncoding::decodeDetected(*content));
  for (const std::string& line : lines) logAt(kGetData, line);
  return lines;
}

}  // namespace brim
