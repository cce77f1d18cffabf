#pragma once
// How each job last went, as the tool's log and its rotated predecessors tell it.
#include <ctime>
#include <optional>
#include <string_view>
#include <vector>

#include "inspect/Installation.h"

namespace brim::inspect {

class RootedTree;

// One entry of a process log: "<time stamp> <signature>:<text>".
struct LogEntry {
  std::string_view stamp;
  std::string_view signature;
  std::string_view text;
};
// Absent for a line that is no entry: the log's header, a line cut short.
std::optional<LogEntry> logEntryOf(std::string_view line);
// The moment a time stamp of the log names, in this machine's time zone.
std::optional<std::time_t> stampTime(std::string_view stamp);

void checkLastRuns(std::vector<Check>& checks, const RootedTree& tree);

}  // namespace brim::inspect
