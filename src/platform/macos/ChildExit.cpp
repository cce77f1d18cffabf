#include "platform/ChildExit.h"

#include <sys/event.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/CustomLogger.h"
#include "platform/UniqueFd.h"

namespace brim {

bool ChildExit::endedBefore(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  using namespace std::chrono;
  constexpr auto kSig = Sig::classLevel("ChildExit", "endedBefore:");
  const UniqueFd queue(::kqueue());
  if (!queue.valid()) {
    logAt(kSig, "cannot watch process " + std::to_string(pid) + ": " + std::system_category().message(errno));
    return false;
  }
  struct kevent change;
  EV_SET(&change, pid, EVFILT_PROC, EV_ADD | EV_ONESHOT, NOTE_EXIT, 0, nullptr);
  // A child that has already ended (unreaped) cannot be registered: ESRCH.
  if (::kevent(queue.get(), &change, 1, nullptr, 0, nullptr) < 0) {
    if (errno == ESRCH) return true;
    logAt(kSig, "cannot watch process " + std::to_string(pid) + ": " + std::system_category().message(errno));
    return false;
  }
  for (;;) {
    const auto left = deadline - steady_clock::now();
    if (left <= steady_clock::duration::zero()) return false;
    const auto whole = duration_cast<seconds>(left);
    const timespec wait{static_cast<time_t>(whole.count()),
                        static_cast<long>(duration_cast<nanoseconds>(left - whole).count())};
    struct kevent event;
    const int n = ::kevent(queue.get(), nullptr, 0, &event, 1, &wait);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return true;  // the caller's waitpid reports it
  }
}

}  // namespace brim
