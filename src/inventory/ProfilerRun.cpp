#include "inventory/ProfilerRun.h"

#include <cstdlib>

#include "inventory/ProfilerValues.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace brim {

ProfilerRun::ProfilerRun(const std::optional<std::string>& dataDir, std::string_view dataType,
                         std::string_view fileName)
    : path_(orNull(dataDir) + "/" + std::string(fileName)) {
  const std::string command = "system_profiler " + std::string(dataType) + " -xml >" + path_;
  // The profiler's exit status tells nothing the file does not: a failed run
  // leaves a missing, empty or unreadable file, which reads as no items.
  [[maybe_unused]] const int status = std::system(command.c_str());
  array_ = readPlistFile(path_);
  if (array_ && plist_get_node_type(array_.get()) == PLIST_ARRAY && plist_array_get_size(array_.get()) > 0) {
    first_ = plist_array_get_item(array_.get(), 0);
  }
}

plist_t ProfilerRun::items() const { return valueAt(first_, "_items"); }

std::size_t ProfilerRun::itemCount() const { return elementsOf(items()).size(); }

void ProfilerRun::removeFile() {
  FileSystem::removeFile(path_);
  first_ = nullptr;
  array_.reset();
}

}  // namespace brim
