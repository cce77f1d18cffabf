#include "platform/CustomLogger.h"

#include <sys/stat.h>

#include <cstdio>
#include <mutex>
#include <span>
#include <thread>
#include <vector>
#include <utility>

#include "platform/DateTime.h"
#include "platform/DistributedNotification.h"
#include "platform/FileSystem.h"
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
// The short date and medium time styles as an English (US) locale renders them.
constexpr std::string_view kTimestampPattern = "M/d/yy, h:mm:ss a";

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

// One message is one line of the log, and whole documents are logged: a line
// longer than this is cut, and ends in a marker saying how much was left out.
constexpr size_t kLineLimit = size_t{4} << 20;
constexpr size_t kMarkerRoom = 64;

CustomLogger::Waits& waits() {
  static CustomLogger::Waits value;
  return value;
}

// A message in pieces, as logAt passes a whole document.
using Pieces = std::span<const std::string_view>;

// pieces themselves when they fit, else their cut form (at most kLineLimit
// bytes, marker included), kept in storage and viewed by single.
Pieces bounded(Pieces pieces, std::string& storage, std::string_view& single) {
  size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  if (size <= kLineLimit) return pieces;
  size_t keep = kLineLimit - kMarkerRoom;
  // The kept bytes and the first one left out, which tells where a character starts.
  for (const std::string_view piece : pieces) {
    if (storage.size() > keep) break;
    storage.append(piece.substr(0, keep + 1 - storage.size()));
  }
  // The cut falls between characters: continuation bytes of UTF-8 go with it.
  while (keep > 0 && (static_cast<unsigned char>(storage[keep]) & 0xC0) == 0x80) --keep;
  storage.resize(keep);
  storage += " [line cut: " + std::to_string(size - keep) + " more bytes left out]";
  single = storage;
  return Pieces(&single, 1);
}

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
void openToEveryone(const std::string& path) { FileSystem::setPermissions(path, 0777); }

// A log file that is refused (a link, a file of another user) cannot carry
// its own refusal: standard error does.
void reportLogFailure() {
  writeLine(stderr, Sig::classLevel("CustomLogger", "log:").text() + ":" + FileSystem::lastFailure());
}

void echoAndLog(std::mutex& lock, std::FILE* stream, Pieces message) {
  std::string storage;
  std::string_view single;
  const Pieces line = bounded(message, storage, single);
  std::lock_guard<std::mutex> guard(lock);
  if (sink()) {
    std::string joined;
    for (const std::string_view piece : line) joined += piece;
    sink()(joined);
    return;
  }
  writeLine(stream, line);
  CustomLogger::log(line);
}

}  // namespace

void CustomLogger::MyCustomLog(const std::string& message) {
  const std::string_view whole(message);
  echoAndLog(echoLock(), stdout, Pieces(&whole, 1));
}

void CustomLogger::MyCustomLog(std::span<const std::string_view> pieces) { echoAndLog(echoLock(), stdout, pieces); }

void CustomLogger::MyCustomErrorLog(const std::string& message) {
  const std::string_view whole(message);
  echoAndLog(errorEchoLock(), stderr, Pieces(&whole, 1));
}

void CustomLogger::log(const std::string& message) {
  const std::string_view whole(message);
  log(Pieces(&whole, 1));
}

void CustomLogger::log(std::span<const std::string_view> message) {
  std::string storage;
  std::string_view single;
  const Pieces pieces = bounded(message, storage, single);
  // The line is appended from the message's own pieces: a logged document is not copied.
  std::vector<std::string_view> line;
  line.reserve(pieces.size() + 3);
  if (!FileSystem::exists(Paths::fixed(Paths::kBuildDateFile))) {
    line.assign(pieces.begin(), pieces.end());
    line.push_back("\n");
    if (!FileSystem::appendToFile(Paths::fixed(Paths::kNoLogFile), line)) reportLogFailure();
    return;
  }
  const std::string stamp = DateTime::dateStringOf(DateTime::now(), kTimestampPattern);
  line.push_back(stamp);
  line.push_back(" ");
  line.insert(line.end(), pieces.begin(), pieces.end());
  line.push_back("\n");
  const std::string path = locationPath();
  const std::string lockFile = path + ".lock";
  {
    std::lock_guard<std::mutex> guard(appendLock());
    // A writer that died leaves its lock file behind: after the last test the
    // line goes in anyway and the stale lock file goes with this append.
    // The lock file is created atomically; a link or a foreign file there is
    // refused at once rather than waited for, and removed with the lock.
    for (int test = 0; test < waits().lockFileTests; ++test) {
      const FileSystem::Create lock = FileSystem::createFile(lockFile);
      if (lock == FileSystem::Create::Foreign) reportLogFailure();
      if (lock != FileSystem::Create::Exists) break;
      writeLine(stdout, kLockWaitLine);
      std::this_thread::sleep_for(waits().lockFileInterval);
    }
    if (!FileSystem::appendToFile(path, Pieces(line))) reportLogFailure();
    FileSystem::removeFile(lockFile);
  }
  if (path == Paths::fixed(Paths::kCommunicatorLog) || path == Paths::fixed(Paths::kHelpdeskLog)) {
    openToEveryone(path);
  }
}

std::string CustomLogger::locationPath() {
  const std::string processName = ProcessInfo::processName();
  const std::string path = Paths::fixed(Paths::kLogDir) + "/" + processName + ".log";
  // Whatever is there, even a link, is never created over: the append refuses what is not ours.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) return path;

  std::optional<std::string> buildDate = FileSystem::readFile(Paths::fixed(Paths::kBuildDateFile));
  if (buildDate && !isValidUtf8(*buildDate)) buildDate.reset();
  const std::string header = "Build Date\n-----------\n" + buildDate.value_or(std::string(kNoBuildDate)) +
                             "\n---------------------------------\n\n";

  // Without its log a component of the agent does not go on: it waits here,
  // asking again every interval, until the agent's listener has made the
  // directory writable.
  // A file that another process created meanwhile is taken as it is.
  while (FileSystem::createFile(path, header) == FileSystem::Create::Failed) {
    DistributedNotification::post(kChangeLogPermission);
    std::this_thread::sleep_for(waits().createRetryInterval);
  }

  for (std::string_view name : kOpenLogProcesses) {
    if (processName == name) openToEveryone(path);
  }
  return path;
}

void CustomLogger::clearLog() {
  if (!FileSystem::truncateFile(locationPath())) reportLogFailure();
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
