#include "inventory/ProfilerRun.h"

#include <sys/stat.h>

#include <cstdint>

#include "app/CustomLogger.h"
#include "app/ShellCommand.h"
#include "inventory/ProfilerValues.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace brim {
namespace {

constexpr auto kRun = Sig::instance("ProfilerRun", "initWithDataDir:dataType:fileName:");

// A report this large is not a machine's profile; parsing it would take
// several times its size in memory.
constexpr uint64_t kReportLimit = uint64_t{256} << 20;

}  // namespace

ProfilerRun::ProfilerRun(const std::optional<std::string>& dataDir, std::string_view dataType,
                         std::string_view fileName)
    : path_(orNull(dataDir) + "/" + std::string(fileName)) {
  const std::string command = "system_profiler " + std::string(dataType) + " -xml >" + shellQuoted(path_);
  const ShellCommand::Outcome outcome = ShellCommand::run(command, ShellCommand::Limit::Profiler);
  // A failed redirection (no directory, full disk) or a profiler that failed
  // while writing leaves a missing or cut-short file, which reads as no items
  // or fewer; it is said here, on every run, so that a short report is not
  // taken for a small machine.
  if (outcome.exitStatus && *outcome.exitStatus != 0) {
    logAt(kRun,
          command + ": report not written or cut short (exit status " + std::to_string(*outcome.exitStatus) + ")");
  }
  // Killed at its limit: as if it had printed nothing.
  if (outcome.killed) logAt(kRun, command + ": report cut short (killed at its time limit); not read");
  if (!outcome.started || outcome.killed) return;
  struct stat report {};
  if (::stat(path_.c_str(), &report) != 0) return;  // nothing written: no items
  if (!S_ISREG(report.st_mode)) {
    logAt(kRun, path_ + ": not a regular file: not read");
    return;
  }
  const auto tooLarge = [this](uint64_t size) {
    logAt(kRun, path_ + ": report of " + std::to_string(size) + " bytes is over " + std::to_string(kReportLimit) +
                    ": not read");
  };
  if (static_cast<uint64_t>(report.st_size) > kReportLimit) {
    tooLarge(static_cast<uint64_t>(report.st_size));
    return;
  }
  // Read within the bound as well, in case the file grew after the look.
  const std::optional<std::string> content = FileSystem::readFile(path_, kReportLimit + 1);
  if (!content) return;
  if (content->size() > kReportLimit) {
    tooLarge(content->size());
    return;
  }
  array_ = parsePlist(*content);
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
