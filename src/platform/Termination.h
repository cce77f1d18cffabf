#pragma once
// SIGTERM, SIGINT and SIGHUP (the scheduler unloading the job, shutdown, a
// person at the terminal) end a run cleanly: the running command's process
// group is killed at once, from the handler, and the run stops at the next
// point where nothing of its own is half-written (before and after each
// command, after each sleep), where it clears up what it made and ends by the
// signal it got. A second signal before that ends it at once.
#include <sys/types.h>

#include <functional>

namespace brim {

class Termination {
 public:
  // What the run clears up before it ends; told the signal.
  using Cleanup = std::function<void(int signal)>;

  // While a Scope lives the three signals are handled as above, cleanup
  // running once when the run stops; the previous handlers come back after.
  class Scope {
   public:
    explicit Scope(Cleanup cleanup);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
  };

  // The process group of the command now running (0: none); the handler
  // kills it. Cleared before the command's leader is reaped, so that its id
  // cannot have passed to another process when it is killed.
  static void setRunningGroup(pid_t group);

  // Whether the handler killed a command's process group.
  static bool commandKilled();
  // Where the run may stop: when a signal came, clears up and ends the
  // process by that signal; otherwise returns.
  static void stopIfRequested();
};

}  // namespace brim
