#include "app/CustomLogger.h"

#include <sys/stat.h>

#include <cstdio>
#include <mutex>
#include <thread>
#include <utility>

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

void writeLine(std::FILE* stream, std::string_view text) {
  std::string line(text);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

// Permission errors are not ours to report: the log must go on.
void openToEveryone(const std::string& path) { ::chmod(path.c_str(), 0777); }

CustomLogger::Sink& sink() {
  static CustomLogger::Sink value;
  return value;
}

void echoAndLog(std::mutex& lock, std::FILE* stream, const std::string& message) {
  std::lock_guard<std::mutex> guard(lock);
  if (sink()) {
    sink()(message);
    return;
  }
  writeLine(stream, message);
  CustomLogger::log(message);
}

}  // namespace

void CustomLogger::MyCustomLog(const std::string& message) { echoAndLog(echoLock(), stdout, message); }

void CustomLogger::MyCustomErrorLog(const std::string& message) { echoAndLog(errorEchoLock(), stderr, message); }

void CustomLogger::log(const std::string& message) {
  if (!FileSystem::exists(Paths::fixed(Paths::kBuildDateFile))) {
    FileSystem::appendToFile(Paths::fixed(Paths::kNoLogFile), message + "\n");
    return;
  }
  const std::string line = DateTime::dateStringOf(DateTime::now(), kTimestampPattern) + " " + message + "\n";
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
    FileSystem::appendToFile(path, line);
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

void CustomLogger::setSink(Sink newSink) { sink() = std::move(newSink); }

void logAt(const Sig& sig, std::string_view text) {
  std::string message = sig.text();
  message += ':';
  message += text;
  CustomLogger::MyCustomLog(message);
}

}  // namespace brim
