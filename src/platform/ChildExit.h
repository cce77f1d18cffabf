#pragma once
// Waits for a child process to end, under a deadline, without looking again
// and again: the kernel wakes the waiter when the child ends. How it is told
// differs between the systems (a process descriptor on Linux, a kernel event
// queue on macOS); the child is reaped by the caller.
#include <sys/types.h>

#include <chrono>

namespace brim {

class ChildExit {
 public:
  // True once pid has ended (or no longer exists: someone else reaped it),
  // false when the deadline came first or the child cannot be watched (logged).
  static bool endedBefore(pid_t pid, std::chrono::steady_clock::time_point deadline);
};

}  // namespace brim
