#pragma once
// Every command the tool hands to /bin/sh runs through here. Each runs in a
// process group of its own under a time limit; when the limit runs out the
// whole group is killed and the caller goes on as for a command that printed
// nothing. Values put into a command line go through shellQuoted, so that no
// path or setting reaches the shell as code.
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace brim {

// text as one word of a /bin/sh command line: in single quotes, each single
// quote inside written as '\''.   it's -> 'it'\''s'
std::string shellQuoted(std::string_view text);

class ShellCommand {
 public:
  // system_profiler can take minutes on a large machine; nothing else should.
  enum class Limit { Profiler, Other };
  struct Limits {
    std::chrono::milliseconds profiler = std::chrono::minutes(10);
    std::chrono::milliseconds other = std::chrono::seconds(60);
  };
  // The sandbox build and tests shorten the limits; absent restores the real ones.
  static void setLimits(std::optional<Limits> limits);
  static std::chrono::milliseconds limitOf(Limit limit);

  // Output read back from a command is cut at this size.
  static constexpr std::size_t kOutputLimit = std::size_t{1} << 20;

  struct Outcome {
    bool started = false;           // the shell ran
    bool killed = false;            // its limit ran out and its process group was killed
    std::optional<int> exitStatus;  // when it ended by itself: its status, 128 + n for signal n
    std::string output;             // run with output read back: standard output, UTF-8
    bool failed() const { return !started || killed || (exitStatus && *exitStatus != 0); }
  };

  // Fire and forget: standard input is /dev/null, standard output and error are
  // the tool's own unless the command line redirects them.
  static Outcome run(const std::string& command, Limit limit);
  // The same with standard output read back (at most kOutputLimit bytes). Its
  // standard error stays the tool's own, so that it never mixes into a value.
  static Outcome runReadingOutput(const std::string& command, Limit limit);
  // The command logged, then run with its standard output read back, trimmed;
  // what a value in a report is taken from.
  static std::string executeCommand(const std::string& command, Limit limit = Limit::Other);

  // In-process fuzzing answers the commands itself: while one is set, no shell
  // runs and every command line goes to it; an empty one restores the shell.
  using StandIn = std::function<Outcome(const std::string& command, bool readOutput)>;
  static void setStandIn(StandIn standIn);
};

}  // namespace brim
