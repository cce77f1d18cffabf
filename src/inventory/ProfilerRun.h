#pragma once
// One run of system_profiler for one data type: its property-list output goes
// into a temporary file in the collector's data directory, is read back, and
// the file is removed at once. What was read lives as long as the object:
// readers let go of it before they build their subtree (ProfilerReports keeps
// it for the run's later readers of the same data type).
#include <plist/plist.h>

#include <cstddef>
#include <functional>
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
  // reads as no items. The file is removed once read, whatever it held.
  ProfilerRun(const std::optional<std::string>& dataDir, std::string_view dataType, std::string_view fileName);
  ProfilerRun(const ProfilerRun&) = delete;
  ProfilerRun& operator=(const ProfilerRun&) = delete;

  const std::string& path() const { return path_; }
  // The file held a property-list array with at least one element.
  bool arrayNotEmpty() const;
  // The report's item list: "_items" of the array's first element (null when missing).
  plist_t items() const;
  std::size_t itemCount() const;
  // The size of the file's text.
  std::size_t textSize() const { return text_ ? text_->size() : 0; }

  // The items of the list one after another, each held only while each()
  // runs; count() first gets their number, when the file held an array with
  // at least one element. The same items as items() lists, without the whole
  // report ever being held as a property list: a list of tens of thousands of
  // applications costs the file's text and one item at a time.
  void forEachItem(const std::function<void(std::size_t)>& count, const std::function<void(plist_t)>& each) const;

 private:
  // The file's text as one property list, read once, when first asked for.
  void parseWhole() const;

  // The file's text, within the size bound; absent when the run gave none to read.
  std::optional<std::string> readReport(const std::string& dataType) const;

  std::string path_;
  std::optional<std::string> text_;
  mutable bool parsed_ = false;
  mutable Plist array_;
  mutable plist_t first_ = nullptr;
};

}  // namespace brim
