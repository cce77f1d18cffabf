#include "platform/CustomLogger.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <mutex>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "platform/DateTime.h"
#include "platform/DistributedNotification.h"
#include "platform/FileSystem.h"
#include "platform/LogEntry.h"
#include "platform/LogWording.h"
#include "platform/Paths.h"
#include "platform/ProcessInfo.h"
#include "platform/Text.h"
#include "platform/TextEncoding.h"

namespace brim {
namespace {

constexpr std::string_view kLockWaitLine = "Waiting for lock file to be removed";
constexpr std::string_view kNoBuildDate = "build date not configured";
// Asks the agent's listener to make the log directory writable for us.
constexpr std::string_view kChangeLogPermission = "com.brimvault.changelogpermission";

// The two executables of the agent whose logs every user may write.
constexpr std::string_view kOpenLogProcesses[] = {"brim_communicatorapp", "brim_Helpdeskapp"};

// Lock order, always: an echo lock, then the append lock.
std::mutex& echoLock() {
  static std::mutex lock;
  return lock;
}
std::mutex& errorEchoLock() {
  static std::mutex lock;
  return lock;
}
std::mutex& appendLock() {
  static std::mutex lock;
  return lock;
}

// Files only root reads: messages carry documents and settings values.
constexpr mode_t kLogFileMode = 0600;

CustomLogger::Waits& waits() {
  static CustomLogger::Waits value;
  return value;
}

// The process log that could not be made: the process goes on with its
// messages on standard output only, rather than wait or fail again on each.
std::string& logGivenUp() {
  static std::string path;
  return path;
}

// A message in pieces, as logAt passes a whole document.
using Pieces = std::span<const std::string_view>;

void writeLine(std::FILE* stream, Pieces pieces) {
  for (const std::string_view piece : pieces) std::fwrite(piece.data(), 1, piece.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void writeLine(std::FILE* stream, std::string_view text) { writeLine(stream, Pieces(&text, 1)); }

CustomLogger::Sink& sink() {
  static CustomLogger::Sink value;
  return value;
}

// Permission errors are not ours to report: the log must go on.
void openToEveryone(const TrustedFolder& folder, const std::string& name) {
  std::string unasked;
  static_cast<void>(FileSystem::setPermissions(folder, name, 0777, unasked));
}

// A log file that is refused (a link, a file of another user) cannot carry
// its own refusal: standard error does.
void reportLogFailure(const std::string& why) {
  writeLine(stderr, Sig::classLevel("CustomLogger", "log:").text() + ":" + why);
}

// What a process log starts with: the build date, as the build-date file has it.
std::string logHeader() {
  std::optional<std::string> buildDate = FileSystem::readFile(Paths::fixed(Paths::kBuildDateFile));
  if (buildDate && !isValidUtf8(*buildDate)) buildDate.reset();
  return "Build Date\n-----------\n" + buildDate.value_or(std::string(kNoBuildDate)) +
         "\n---------------------------------\n\n";
}

// A log that rotation emptied (newsyslog, logrotate) starts again as a new one
// does; asked under the lock file, so that of two writers one only writes it.
bool isEmptyFile(const TrustedFolder& folder, const std::string& name) {
  struct stat st {};
  return ::fstatat(folder.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

// The log folder, held open once it passed the rule root writes by: the lock
// file, the header and the line all go into the folder checked, whatever is
// put in place of its path meanwhile. Absent, with why set, when it did not.
std::optional<TrustedFolder> logFolder(std::string& why) {
  return TrustedFolder::open(Paths::fixed(Paths::kLogDir), why);
}

// The log folder, held open, for a write to the process log at path; absent
// (and said on standard error) when the folder is not there to write into.
std::optional<TrustedFolder> logFolderFor(const std::string& path) {
  if (path == logGivenUp()) return std::nullopt;
  std::string why;
  std::optional<TrustedFolder> folder = logFolder(why);
  if (!folder) writeLine(stderr, Sig::classLevel("CustomLogger", "log:").text() + ":" + why);
  return folder;
}

// A log folder that exists and fails the rule is not written into: said once,
// on standard output, and the process goes on with standard output alone.
void refuseLogFolder(const std::string& path, const std::string& why) {
  writeLine(stdout, Sig::classLevel("CustomLogger", "locationPath").text() + ":log folder not used, " + why +
                        "; going on without the log");
  logGivenUp() = path;
}

// Appends one entry, already escaped and bounded, to the process log or the fallback log.
void appendEntry(Pieces entry) {
  // The line is appended from the entry's own pieces: a logged document is not copied.
  std::vector<std::string_view> line;
  line.reserve(entry.size() + 3);
  if (!FileSystem::exists(Paths::fixed(Paths::kBuildDateFile))) {
    line.assign(entry.begin(), entry.end());
    line.push_back("\n");
    std::string why;
    if (!FileSystem::appendToFile(Paths::fixed(Paths::kNoLogFile), line, why, kLogFileMode)) reportLogFailure(why);
    return;
  }
  const std::string stamp = DateTime::dateStringOf(DateTime::now(), LogWording::kTimestampPattern);
  line.push_back(stamp);
  line.push_back(" ");
  line.insert(line.end(), entry.begin(), entry.end());
  line.push_back("\n");
  const std::string path = CustomLogger::locationPath();
  const std::optional<TrustedFolder> folder = logFolderFor(path);
  if (!folder) return;
  const std::string name = path.substr(path.rfind('/') + 1);
  const std::string lockFile = name + ".lock";
  {
    std::lock_guard<std::mutex> guard(appendLock());
    // A writer that died leaves its lock file behind: after the last test the
    // line goes in anyway and the stale lock file goes with this append.
    // The lock file is created atomically; a link, a file with a second name
    // or a file of another user there is refused at once rather than waited
    // for, and removed with the lock.
    std::string why;
    for (int test = 0; test < waits().lockFileTests; ++test) {
      const FileSystem::Create lock = FileSystem::createFile(*folder, lockFile, why, "", kLogFileMode);
      if (lock == FileSystem::Create::Foreign) reportLogFailure(why);
      if (lock != FileSystem::Create::Exists) break;
      writeLine(stdout, kLockWaitLine);
      std::this_thread::sleep_for(waits().lockFileInterval);
    }
    std::string header;
    if (isEmptyFile(*folder, name)) {
      header = logHeader();
      line.insert(line.begin(), header);
    }
    if (!FileSystem::appendToFile(*folder, name, Pieces(line), why, kLogFileMode)) reportLogFailure(why);
    FileSystem::removeFile(*folder, lockFile, why);
  }
  if (path == Paths::fixed(Paths::kCommunicatorLog) || path == Paths::fixed(Paths::kHelpdeskLog)) {
    openToEveryone(*folder, name);
  }
}

// Where a message goes: echoed to standard output or standard error and
// appended, or appended only.
enum class Route { Output, Error, FileOnly };

// A message logged from inside the log itself (a library the notification
// loads fails and says so, while this thread holds the echo lock) would wait
// for a lock its own thread holds. It is kept here instead and logged once
// the message that led to it is done and every lock is free again.
struct Reentry {
  bool inside = false;
  std::vector<std::pair<Route, std::string>> deferred;
};
thread_local Reentry reentry;

void writeMessage(Route route, Pieces message) {
  if (route == Route::FileOnly) {
    const LogEntry entry(message, LogEntry::Form::OneLine);
    appendEntry(entry.pieces());
    return;
  }
  std::mutex& lock = route == Route::Output ? echoLock() : errorEchoLock();
  const LogEntry entry(message, LogEntry::Form::OneLine);
  std::lock_guard<std::mutex> guard(lock);
  if (sink()) {
    std::string joined;
    for (const std::string_view piece : entry.pieces()) joined += piece;
    sink()(joined);
    return;
  }
  // A person reads standard output (a terminal, the scheduler's file of the
  // job's output): it shows the message's lines, its other controls escaped.
  const LogEntry shown(message, LogEntry::Form::Lines);
  writeLine(route == Route::Output ? stdout : stderr, shown.pieces());
  appendEntry(entry.pieces());
}

void logMessage(Route route, Pieces message) {
  if (reentry.inside) {
    std::string joined;
    for (const std::string_view piece : message) joined += piece;
    reentry.deferred.emplace_back(route, std::move(joined));
    return;
  }
  struct Inside {
    Inside() { reentry.inside = true; }
    ~Inside() {
      reentry.deferred.clear();
      reentry.inside = false;
    }
    Inside(const Inside&) = delete;
    Inside& operator=(const Inside&) = delete;
  } const inside;
  writeMessage(route, message);
  // What was logged from inside may itself log from inside again: each round
  // is logged with every lock free, a few rounds at most, so that a failure
  // that logs on every message cannot hold the process here.
  constexpr int kRounds = 4;
  for (int round = 0; round < kRounds && !reentry.deferred.empty(); ++round) {
    const auto deferred = std::exchange(reentry.deferred, {});
    for (const auto& [deferredRoute, text] : deferred) {
      const std::string_view whole(text);
      writeMessage(deferredRoute, Pieces(&whole, 1));
    }
  }
}

}  // namespace

void CustomLogger::MyCustomLog(const std::string& message) {
  const std::string_view whole(message);
  logMessage(Route::Output, Pieces(&whole, 1));
}

void CustomLogger::MyCustomLog(std::span<const std::string_view> pieces) { logMessage(Route::Output, pieces); }

void CustomLogger::MyCustomErrorLog(const std::string& message) {
  const std::string_view whole(message);
  logMessage(Route::Error, Pieces(&whole, 1));
}

void CustomLogger::log(const std::string& message) {
  const std::string_view whole(message);
  log(Pieces(&whole, 1));
}

void CustomLogger::log(std::span<const std::string_view> message) { logMessage(Route::FileOnly, message); }

std::string CustomLogger::locationPath() {
  const std::string processName = ProcessInfo::processName();
  const std::string name = processName + ".log";
  const std::string path = Paths::fixed(Paths::kLogDir) + "/" + name;
  if (path == logGivenUp()) return path;
  std::string why;
  std::optional<TrustedFolder> folder = logFolder(why);
  // A missing folder is the listener's to make, below; one that is there and
  // fails the rule nobody mends by waiting.
  if (!folder && FileSystem::exists(Paths::fixed(Paths::kLogDir))) {
    refuseLogFolder(path, why);
    return path;
  }
  // Whatever is there, even a link, is never created over: the append refuses what is not ours.
  struct stat st {};
  if (folder && ::fstatat(folder->fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return path;

  const std::string header = logHeader();

  // A component of the agent waits here for its log, asking again every
  // interval, until the agent's listener has made the directory writable; but
  // not for ever, and not for what the listener cannot mend: then it goes on
  // with standard output alone, and says so on standard error.
  // A file that another process created meanwhile is taken as it is.
  const auto giveUpAt = std::chrono::steady_clock::now() + waits().createWaitLimit;
  for (;;) {
    // A folder missing or denying us the listener that the notification
    // reaches can mend: it makes the log directory and lets us write into it.
    // Anything else (no space or inodes, a read-only disk) no waiting mends.
    bool mendable = true;
    std::string failure = why;
    if (folder) {
      const FileSystem::Create made = FileSystem::createFile(*folder, name, failure, header, kLogFileMode);
      if (made != FileSystem::Create::Denied && made != FileSystem::Create::Failed) break;
      mendable = made == FileSystem::Create::Denied;
    }
    if (!mendable || std::chrono::steady_clock::now() >= giveUpAt) {
      const std::string waited =
          mendable ? "; still so after " + std::to_string(waits().createWaitLimit.count()) + " seconds" : "";
      writeLine(stderr, Sig::classLevel("CustomLogger", "locationPath").text() + ":" + failure + waited +
                            "; going on without the log");
      logGivenUp() = path;
      return path;
    }
    DistributedNotification::post(kChangeLogPermission);
    std::this_thread::sleep_for(waits().createRetryInterval);
    folder = logFolder(why);
    if (!folder && FileSystem::exists(Paths::fixed(Paths::kLogDir))) {
      refuseLogFolder(path, why);
      return path;
    }
  }

  for (std::string_view openName : kOpenLogProcesses) {
    if (processName == openName) openToEveryone(*folder, name);
  }
  return path;
}

void CustomLogger::clearLog() {
  const std::string path = locationPath();
  const std::optional<TrustedFolder> folder = logFolderFor(path);
  if (!folder) return;
  std::string why;
  if (!FileSystem::truncateFile(*folder, path.substr(path.rfind('/') + 1), why)) reportLogFailure(why);
}

std::vector<std::string> CustomLogger::getLogArray() {
  const std::optional<std::string> content = FileSystem::readFile(locationPath());
  if (!content) return {};
  return nonEmptyLines(TextEncoding::decodeDetected(*content));
}

void CustomLogger::setWaitsForTesting(std::optional<Waits> newWaits) { waits() = newWaits.value_or(Waits{}); }

void logAt(const Sig& sig, std::initializer_list<std::string_view> pieces) {
  const std::string signature = sig.text() + ":";
  std::vector<std::string_view> line{signature};
  line.insert(line.end(), pieces.begin(), pieces.end());
  CustomLogger::MyCustomLog(line);
}

void CustomLogger::setSink(Sink newSink) { sink() = std::move(newSink); }

void logAt(const Sig& sig, std::string_view text) {
  std::string message = sig.text();
  message += ':';
  message += text;
  CustomLogger::MyCustomLog(message);
}

}  // namespace brim
