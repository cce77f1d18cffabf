#pragma once
// One run of system_profiler for one data type: its property-list output goes
// into a temporary file in the collector's data directory and is read back.
// The file and what was read from it are kept until removeFile(), so that
// the caller decides when they go (after the walk, before the document is built).
#include <plist/plist.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Plist.h"

namespace brim {

class ProfilerRun {
 public:
  // Runs "system_profiler <dataType> -xml >'<dataDir>/<fileName>'" through /bin/sh
  // (the path quoted, under the profiler's time limit) and reads the file as a
  // property-list array; a run killed at its limit, or a file over 256 MiB,
  // reads as no items.
  ProfilerRun(const std::optional<std::string>& dataDir, std::string_view dataType, std::string_view fileName);

  const std::string& path() const { return path_; }
  // The file held an array with at least one element.
  bool arrayNotEmpty() const { return first_ != nullptr; }
  // The report's item list: "_items" of the array's first element (null when missing).
  plist_t items() const;
  std::size_t itemCount() const;

  // rm -f of the temporary file; its outcome is not looked at. The run is
  // over: the property list goes too (items() is null from here on), so that
  // a large report is not held while its subtree is built.
  void removeFile();

 private:
  std::string path_;
  Plist array_;
  plist_t first_ = nullptr;
};

}  // namespace brim
