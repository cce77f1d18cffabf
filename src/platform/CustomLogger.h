#pragma once
// The tool's one diagnostic log. Every message is echoed to standard output
// and appended, with a time stamp, to "<log dir>/<process name>.log" under a
// cooperative lock file; without the build-date file it goes to the fallback
// log instead.
//
// A message is one entry of one line in the log files: its line breaks and
// other control characters are written as escapes ("\n", "\r", "\x1b",
// "\u202e"; a tab stays; a backslash is doubled), so that text from a server
// or a profiler can neither forge entries nor drive the terminal of whoever
// reads them, and the user information of any URL in it (user name and password) is
// written as "***". Standard
// output shows the message with its line breaks and tabs, every other control
// escaped the same way. The log files are made readable by root alone. A log
// that rotation emptied gets its header again with the next entry.
//
// A message logged while this thread is inside the log (a library the log
// needs fails to load and says so) is logged right after the message that led
// to it, so that no lock of the log is ever waited for by its own holder.
//
// The same log serves the agent's other executables, so the lock file (not a
// lock of this process) is what keeps their appends apart; each line is
// appended with one write, so lines stay whole even when two writers pass the
// lock-file test at the same moment.
#include <chrono>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Signature.h"

namespace brim {

class CustomLogger {
 public:
  static void MyCustomLog(const std::string& message);
  // A message in pieces, logged as one line without being joined first: a
  // whole document is logged from the buffer that holds it.
  static void MyCustomLog(std::span<const std::string_view> pieces);
  static void MyCustomErrorLog(const std::string& message);
  static void log(const std::string& message);
  static void log(std::span<const std::string_view> pieces);
  static std::string locationPath();
  static void clearLog();
  static std::vector<std::string> getLogArray();

  // How long the log waits: for a lock file nobody removes (tests at an
  // interval), between attempts to create a process log it may not create,
  // and at most for that, before the process goes on without its log.
  struct Waits {
    int lockFileTests = 1000;
    std::chrono::microseconds lockFileInterval{10'000};
    std::chrono::microseconds createRetryInterval{2'000'000};
    std::chrono::seconds createWaitLimit{600};
  };
  // Tests shorten the waits; absent restores the real ones.
  static void setWaitsForTesting(std::optional<Waits> waits);

  // A program that only reads the agent's files (brim_inspect) takes the
  // messages itself: nothing is echoed or appended to the agent's log while a
  // sink is set. An empty sink restores the log.
  using Sink = std::function<void(const std::string& message)>;
  static void setSink(Sink sink);
};

// Logs "<signature>:<text>" through MyCustomLog: the "%s:" convention of every message.
void logAt(const Sig& sig, std::string_view text);
// "<signature>:" and the pieces, none of them copied: for whole documents.
void logAt(const Sig& sig, std::initializer_list<std::string_view> pieces);

// "%@" of an absent string is the six characters (null).
inline constexpr std::string_view kNullText = "(null)";

}  // namespace brim
