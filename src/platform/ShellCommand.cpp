#include "platform/ShellCommand.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/ChildExit.h"
#include "platform/CustomLogger.h"
#include "platform/ReadNSPipe.h"
#include "platform/Termination.h"
#include "platform/Text.h"
#include "platform/UniqueFd.h"

extern char** environ;

namespace brim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRun = Sig::classLevel("ShellCommand", "run:limit:");

ShellCommand::Limits& limits() {
  static ShellCommand::Limits value;
  return value;
}

// A descriptor kept clear of 0 to 2: a tool started with one of those closed
// would otherwise hand it out here, and the child's redirections below would
// overwrite it before it is copied. The copy is close-on-exec, which a pipe is
// not when made; the tool starts commands from one thread only, so no other
// command can be started in between and inherit the original.
UniqueFd aboveStandardStreams(int fd) {
  if (fd < 0) return UniqueFd();
  UniqueFd moved(::fcntl(fd, F_DUPFD_CLOEXEC, 3));
  ::close(fd);
  return moved;
}

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) >= 0; }

// Starts "/bin/sh -c command" as the leader of a new process group, with
// standard input from nullFd, standard output into outputFd (or the tool's
// own), and the signal state of a fresh process: what the tool ignores or
// blocks (a broken pipe, for one) must not carry over. posix_spawn rather
// than fork: it does not copy the tool's memory, which costs tens of
// milliseconds per command in a large process.
pid_t spawnShell(const std::string& command, int nullFd, int outputFd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, nullFd, STDIN_FILENO);
  if (outputFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
  } else if (!isOpen(STDOUT_FILENO)) {
    posix_spawn_file_actions_adddup2(&actions, nullFd, STDOUT_FILENO);
  }
  if (!isOpen(STDERR_FILENO)) posix_spawn_file_actions_adddup2(&actions, nullFd, STDERR_FILENO);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigaddset(&signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &signals);

  const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char* const*>(argv), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  errno = error;
  return error == 0 ? pid : -1;
}

// Reaps pid if it ends before the deadline; status -1 when someone else
// reaped it (SIGCHLD ignored): it has ended all the same.
bool reapedBefore(pid_t pid, Clock::time_point deadline, int& status) {
  if (!ChildExit::endedBefore(pid, deadline)) return false;
  Termination::setRunningGroup(0);
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      status = -1;
      break;
    }
  }
  return true;
}

std::string durationText(std::chrono::milliseconds span) {
  if (span.count() % 1000 == 0) return std::to_string(span.count() / 1000) + " s";
  return std::to_string(span.count()) + " ms";
}

std::optional<int> statusOf(int status) {
  if (status == -1) return std::nullopt;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return std::nullopt;
}

ShellCommand::Outcome launch(const std::string& command, ShellCommand::Limit limit, bool readOutput) {
  // A run told to end starts nothing more.
  Termination::stopIfRequested();
  ShellCommand::Outcome outcome;
  const auto allowed = ShellCommand::limitOf(limit);
  const auto deadline = Clock::now() + allowed;

  UniqueFd nullFd = aboveStandardStreams(::open("/dev/null", O_RDWR | O_CLOEXEC));
  UniqueFd readEnd, writeEnd;
  if (readOutput) {
    int ends[2];
    if (::pipe(ends) == 0) {
      readEnd = aboveStandardStreams(ends[0]);
      writeEnd = aboveStandardStreams(ends[1]);
    }
  }
  const bool ready = nullFd.valid() && (!readOutput || (readEnd.valid() && writeEnd.valid()));
  const pid_t pid = ready ? spawnShell(command, nullFd.get(), writeEnd.get()) : -1;
  if (pid < 0) {
    logAt(kRun, "cannot start (" + std::system_category().message(errno) + "):" + command);
    return outcome;
  }
  outcome.started = true;
  Termination::setRunningGroup(pid);
  // Only the child keeps the write end, so the read below ends when it does.
  writeEnd.reset();
  nullFd.reset();

  bool outOfTime = false;
  if (readOutput) {
    ReadNSPipe reader;
    reader.deadline = deadline;
    reader.limit = ShellCommand::kOutputLimit;
    outcome.output = reader.readAvailableDataFromFileHandle(readEnd.get());
    outOfTime = reader.timedOut;
    // A command still writing past the limit ends on the broken pipe.
    readEnd.reset();
  }
  int status = 0;
  if (outOfTime || !reapedBefore(pid, deadline, status)) {
    // The group goes while its leader is still unreaped, so its id cannot
    // have passed to another process.
    ::killpg(pid, SIGKILL);
    Termination::setRunningGroup(0);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    Termination::stopIfRequested();
    outcome.killed = true;
    logAt(kRun,
          "no end within " + durationText(allowed) + ": process group " + std::to_string(pid) + " killed:" + command);
    return outcome;
  }
  // A command the signal's handler killed ends the run here, its output unused.
  Termination::stopIfRequested();
  outcome.exitStatus = statusOf(status);
  return outcome;
}

}  // namespace

std::string shellQuoted(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

void ShellCommand::setLimits(std::optional<Limits> newLimits) { limits() = newLimits.value_or(Limits{}); }

std::chrono::milliseconds ShellCommand::limitOf(Limit limit) {
  return limit == Limit::Profiler ? limits().profiler : limits().other;
}

namespace {
ShellCommand::StandIn& standIn() {
  static ShellCommand::StandIn value;
  return value;
}
}  // namespace

void ShellCommand::setStandIn(StandIn newStandIn) { standIn() = std::move(newStandIn); }

ShellCommand::Outcome ShellCommand::run(const std::string& command, Limit limit) {
  if (standIn()) return standIn()(command, false);
  return launch(command, limit, false);
}

ShellCommand::Outcome ShellCommand::runReadingOutput(const std::string& command, Limit limit) {
  if (standIn()) return standIn()(command, true);
  return launch(command, limit, true);
}

std::string ShellCommand::executeCommand(const std::string& command, Limit limit) {
  // The orchestrator's log line, as it has always been written.
  logAt(Sig::instance("ConsolidatedAssets", "executeCommand:"), "Executing:" + command);
  return trimWhitespaceAndNewlines(runReadingOutput(command, limit).output);
}

}  // namespace brim
