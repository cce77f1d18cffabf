#include "platform/Termination.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <utility>

namespace brim {
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// Shared with the handler: lock-free, so reading and writing them there is safe.
std::atomic<int> received{0};
std::atomic<pid_t> runningGroup{0};
std::atomic<bool> groupKilled{false};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<pid_t>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

Termination::Cleanup& cleanup() {
  static Termination::Cleanup value;
  return value;
}

std::array<struct sigaction, kSignals.size()>& previous() {
  static std::array<struct sigaction, kSignals.size()> value{};
  return value;
}

// Only what is safe in a signal handler: the command's group goes at once,
// whatever the run is doing; the rest waits for a point where it may stop.
// A second signal means the person or the system will not wait for that.
void onSignal(int signal) {
  const int earlier = received.exchange(signal);
  if (const pid_t group = runningGroup.load(); group > 0 && ::killpg(group, SIGKILL) == 0) groupKilled = true;
  if (earlier != 0) ::_exit(128 + signal);
}

}  // namespace

Termination::Scope::Scope(Cleanup newCleanup) {
  received = 0;
  groupKilled = false;
  cleanup() = std::move(newCleanup);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : kSignals) sigaddset(&action.sa_mask, signal);
  // No SA_RESTART: a sleep or a wait the signal interrupts returns early.
  action.sa_flags = 0;
  for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &previous()[i]);
}

Termination::Scope::~Scope() {
  for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous()[i], nullptr);
  cleanup() = nullptr;
}

void Termination::setRunningGroup(pid_t group) {
  runningGroup = group;
  // A signal that came just before the group was known has not reached it.
  if (group > 0 && received != 0 && ::killpg(group, SIGKILL) == 0) groupKilled = true;
}

bool Termination::commandKilled() { return groupKilled; }

void Termination::stopIfRequested() {
  const int signal = received;
  if (signal == 0) return;
  // The cleanup may run commands of its own (none of them is stopped again).
  Cleanup run = std::exchange(cleanup(), nullptr);
  if (run) run(signal);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  ::sigaction(signal, &byDefault, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);  // in case the signal is blocked by something outside our reach
}

}  // namespace brim
