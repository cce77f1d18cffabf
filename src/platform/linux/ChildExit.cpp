#include "platform/ChildExit.h"

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <system_error>

#include "platform/CustomLogger.h"
#include "platform/UniqueFd.h"

namespace brim {

bool ChildExit::endedBefore(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  using namespace std::chrono;
  // A process descriptor reads as ready once its process has ended. The C
  // library of the build machine may not wrap the call, so it goes by number.
  const UniqueFd watched(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  if (!watched.valid()) {
    if (errno == ESRCH) return true;
    logAt(Sig::classLevel("ChildExit", "endedBefore:"),
          "cannot watch process " + std::to_string(pid) + ": " + std::system_category().message(errno));
    return false;
  }
  for (;;) {
    const auto left = ceil<milliseconds>(deadline - steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{watched.get(), POLLIN, 0};
    const int n = ::poll(&ready, 1, static_cast<int>(std::min<milliseconds::rep>(left.count(), INT_MAX)));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return true;  // the caller's waitpid reports it
  }
}

}  // namespace brim
