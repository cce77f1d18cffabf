#pragma once
// The profiler reports of one run, by data type. On a Mac a system_profiler
// run costs from a few hundred milliseconds to seconds of processor time, and
// several readers of a run ask for the same data type (the start-up and the
// hardware category, the two power categories, the three Bluetooth ones): the
// first reader runs the profiler, the later ones read the same report. A
// report is kept only until the last reader planned for its data type has it,
// so that one nobody else reads (the applications list, read item by item) is
// never held beyond its own category.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "inventory/ProfilerRun.h"
#include "platform/Signature.h"

namespace brim {

class ProfilerReports {
 public:
  using Report = std::shared_ptr<const ProfilerRun>;

  // Plans one reader per category of the inventory documents.
  ProfilerReports();

  // One more reader of dataType in this run.
  void expect(std::string_view dataType);

  // dataType's report. The first reader runs the profiler into
  // "<dataDir>/<fileName>" (ProfilerRun); a later one logs under its own
  // signature that it reuses the report, and runs nothing. A reader beyond
  // those planned runs the profiler again.
  Report open(const Sig& reader, const std::optional<std::string>& dataDir, std::string_view dataType,
              std::string_view fileName);

 private:
  struct Planned {
    int readersLeft = 0;
    Report report;  // held while readers are left
  };
  std::map<std::string, Planned, std::less<>> planned_;
};

}  // namespace brim
