#include "app/CustomLogger.h"

#include <sys/stat.h>

#include <cstdio>
#include <mutex>
#include <thread>

#include "app/DateTime.h"
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

CustomLogger::Waits& waits() {
  static CustomLogger::Waits value;
  return value;
}

// A message in pieces, as logAt passes a whole document.
using Pieces = std::span<const std::string_view>;

void writeLine(std::FILE* stream, Pieces pieces) {
  for (const std::string_view piece : pieces) std::fwrite(piece.data(), 1, piece.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void writeLine(std::FILE* stream, std::string_view text) { writeLine(stream, Pieces(&text, 1)); }

// Permission errors are not ours to report: the log must go on.
void openToEveryone(const std::string& path) { ::chmod(path.c_str(), 0777); }

void echoAndLog(std::mutex& lock, std::FILE* stream, Pieces pieces) {
  std::lock_guard<std::mutex> guard(lock);
  writeLine(stream, pieces);
  CustomLogger::log(pieces);
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

void CustomLogger::log(std::span<const std::string_view> pieces) {
  // The line is appended from the message's own pieces: a logged document is not copied.
  std::vector<std::string_view> line;
  line.reserve(pieces.size() + 3);
  if (!FileSystem::exists(Paths::fixed(Paths::kBuildDateFile))) {
    line.assign(pieces.begin(), pieces.end());
    line.push_back("\n");
    FileSystem::appendToFile(Paths::fixed(Paths::kNoLogFile), line);
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
    for (int test = 0; test < waits().lockFileTests; ++test) {
      if (!FileSystem::exists(lockFile)) break;
      writeLine(stdout, kLockWaitLine);
      std::this_thread::sleep_for(waits().lockFileInterval);
    }
    FileSystem::touch(lockFile);
    FileSystem::appendToFile(path, Pieces(line));
    FileSystem::removeFile(lockFile);
  }
  if (path == Paths::fixed(Paths::kCommunicatorLog) || path == Paths::fixed(Paths::kHelpdeskLog)) {
    openToEveryone(path);
  }
}

std::string CustomLogger::locationPath() {
  const std::string processName = ProcessInfo::processName();
  const std::string path = Paths::fixed(Paths::kLogDir) + "/" + processName + ".log";
  if (FileSystem::exists(path)) return path;

  std::optional<std::string> buildDate = FileSystem::readFile(Paths::fixed(Paths::kBuildDateFile));
  if (buildDate && !isValidUtf8(*buildDate)) buildDate.reset();
  const std::string header = "Build Date\n-----------\n" + buildDate.value_or(std::string(kNoBuildDate)) +
                             "\n---------------------------------\n\n";

  // Without its log a component of the agent does not go on: it waits here,
  // asking again every interval, until the agent's listener has made the
  // directory writable.
  std::FILE* file = nullptr;
  while (!(file = std::fopen(path.c_str(), "w"))) {
    DistributedNotification::post(kChangeLogPermission);
    std::this_thread::sleep_for(waits().createRetryInterval);
  }
  std::fwrite(header.data(), 1, header.size(), file);
  std::fclose(file);

  for (std::string_view name : kOpenLogProcesses) {
    if (processName == name) openToEveryone(path);
  }
  return path;
}

void CustomLogger::clearLog() {
  if (std::FILE* file = std::fopen(locationPath().c_str(), "w")) std::fclose(file);
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

void logAt(const Sig& sig, std::string_view text) {
  std::string message = sig.text();
  message += ':';
  message += text;
  CustomLogger::MyCustomLog(message);
}

}  // namespace brim
