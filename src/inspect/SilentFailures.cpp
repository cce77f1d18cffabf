#include "inspect/SilentFailures.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "BuildConfig.h"
#include "envelope/DirectReports.h"
#include "inspect/RootedTree.h"
#include "inspect/ShownDate.h"
#include "inspect/SystemAdvice.h"
#include "platform/Paths.h"

namespace brim::inspect {
namespace {

Check finding(Check::Status status, std::string name, std::string detail, std::string advice = {}) {
  return {status, std::move(name), std::move(detail), std::move(advice)};
}

struct CloseDir {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// How long ago, in the largest whole unit.
std::string ago(time_t when, time_t now) {
  const time_t seconds = now > when ? now - when : 0;
  const auto count = [](time_t n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s") + " ago";
  };
  if (seconds < 60) return "under a minute ago";
  if (seconds < 3600) return count(seconds / 60, "minute");
  if (seconds < 86400) return count(seconds / 3600, "hour");
  return count(seconds / 86400, "day");
}

// Where the jobs' shell finds the command; a link counts as found (under
// --root it may name a path of the machine it was copied from).
std::optional<std::string> onJobPath(std::string_view command) {
  std::string_view path = jobCommandPath();
  while (!path.empty()) {
    const std::string_view dir = path.substr(0, path.find(':'));
    path.remove_prefix(std::min(path.size(), dir.size() + 1));
    const std::string candidate = std::string(dir) + "/" + std::string(command);
    std::string missing;
    const std::optional<struct stat> st = installation().linkStatus(Paths::fixed(candidate), missing);
    if (!st) continue;
    if (S_ISLNK(st->st_mode) || (S_ISREG(st->st_mode) && (st->st_mode & 0111))) return candidate;
  }
  return std::nullopt;
}

// The end of the tool's log, read inside the installation like every file:
// the last runs' documents are near its end.
std::string logTail() {
  constexpr std::size_t kBytes = 32 << 20;
  std::string unreadable;
  return installation().readTail(Paths::fixed(Paths::kLogDir) + "/brim_asset.log", kBytes, unreadable).value_or("");
}

// The last document of that root element in the log, whole or up to the log's end.
std::optional<std::string_view> lastDocument(std::string_view log, std::string_view root) {
  const size_t start = log.rfind("<" + std::string(root) + ">");
  if (start == std::string_view::npos) return std::nullopt;
  const std::string end = "</" + std::string(root) + ">";
  const size_t stop = log.find(end, start);
  return log.substr(start, stop == std::string_view::npos ? std::string_view::npos : stop + end.size() - start);
}

std::string smartAdvice() {
  return onJobPath("smartctl") ? "run smartctl -H on the first disk to see why it gives no status"
                               : missingCommandAdvice("smartctl");
}

}  // namespace

std::string passPhraseFingerprint() { return build::kPassPhraseFingerprint; }

void checkJobCommands(std::vector<Check>& checks) {
  struct Command {
    const char* name;
    const char* without;
  };
  static constexpr Command kCommands[] = {
      {"system_profiler", "every inventory category comes out empty"},
      {"ps", "process samples and reports come out without a process"},
  };
  const std::string where = std::string(" on the jobs' PATH (") + std::string(jobCommandPath()) + ")";
  for (const Command& command : kCommands) {
    const std::string name = std::string("command ") + command.name;
    if (const auto found = onJobPath(command.name)) {
      checks.push_back(finding(Check::Status::OK, name, *found));
    } else {
      checks.push_back(finding(Check::Status::FAIL, name, std::string("not found") + where + ": " + command.without,
                               missingCommandAdvice(command.name)));
    }
  }
  // The system's own profiler reads SMART status itself; the Linux stand-in asks smartctl.
  const auto profiler = onJobPath("system_profiler");
  if (!profiler || *profiler == Paths::kOwnSystemProfiler) return;
  if (const auto found = onJobPath("smartctl")) {
    checks.push_back(finding(Check::Status::OK, "command smartctl", *found));
  } else {
    checks.push_back(finding(Check::Status::WARN, "command smartctl",
                             "not found" + where + ": the SMART status report says (null)", smartAdvice()));
  }
}

void checkLastReportContents(std::vector<Check>& checks) {
  const std::string log = logTail();
  if (const auto report = lastDocument(log, kProcessReport.root)) {
    if (report->find("<" + std::string(kProcessReport.entry) + " ") == std::string_view::npos) {
      checks.push_back(finding(Check::Status::FAIL, "process report content", "holds no process",
                               onJobPath("ps") ? "run ps -axo pid,pcpu,pmem,comm as root to see what it answers"
                                               : missingCommandAdvice("ps")));
    } else {
      checks.push_back(finding(Check::Status::OK, "process report content", "holds processes"));
    }
  }
  if (const auto report = lastDocument(log, kSmartStatusReport.root)) {
    const size_t open = report->find("<status>");
    const size_t close = report->find("</status>");
    std::string_view status;
    if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
      status = report->substr(open + 8, close - open - 8);
      if (status.starts_with("<![CDATA[") && status.ends_with("]]>")) status = status.substr(9, status.size() - 12);
    }
    if (status.empty() || status == "(null)") {
      checks.push_back(
          finding(Check::Status::WARN, "SMART status content", "(null): no disk status was read", smartAdvice()));
    } else {
      checks.push_back(finding(Check::Status::OK, "SMART status content", std::string(status.substr(0, 40))));
    }
  }
}

void checkDataPostBacklog(std::vector<Check>& checks, const std::string& dataPostDir) {
  constexpr time_t kDay = time_t{24} * 60 * 60;
  // Listed by the folder's descriptor, reached through no link: a copy's
  // folder must not show the names and times of another one.
  std::string unreadable;
  const UniqueFd folder = installation().openFolder(dataPostDir, unreadable);
  // The listing owns a descriptor of its own; fstatat goes on the folder's.
  const int listed = folder.valid() ? ::fcntl(folder.get(), F_DUPFD_CLOEXEC, 0) : -1;
  DIR* const opened = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (!opened && listed >= 0) ::close(listed);
  const std::unique_ptr<DIR, CloseDir> entries(opened);
  if (!entries) return;  // the folder checks tell
  const int fd = folder.get();
  const time_t now = ::time(nullptr);
  size_t waiting = 0;
  std::string oldestName;
  time_t oldest = now;
  while (const dirent* entry = ::readdir(entries.get())) {
    const std::string name = entry->d_name;
    if (name.starts_with(".")) continue;  // being written, or not for the uploader
    struct stat st {};
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || now - st.st_mtime <= kDay)
      continue;
    ++waiting;
    if (st.st_mtime < oldest) {
      oldest = st.st_mtime;
      oldestName = name;
    }
  }
  if (waiting == 0) {
    checks.push_back(finding(Check::Status::OK, "data-post backlog", "no file waits longer than a day"));
    return;
  }
  checks.push_back(finding(Check::Status::WARN, "data-post backlog",
                           std::to_string(waiting) + (waiting == 1 ? " file waits" : " files wait") +
                               " longer than a day in " + dataPostDir + ", the oldest " + oldestName + " since " +
                               shownDate(oldest),
                           "check that the agent's uploader runs and reaches its server"));
}

void checkLogFallback(std::vector<Check>& checks) {
  const std::string fallback = Paths::fixed(Paths::kNoLogFile);
  const RootedTree tree = installation();
  std::string missing;
  const std::optional<struct stat> found = tree.linkStatus(fallback, missing);
  if (!found) {
    checks.push_back(finding(Check::Status::OK, "log", "no entry went to " + std::string(Paths::kNoLogFile)));
    return;
  }
  const std::string buildDate = Paths::fixed(Paths::kBuildDateFile);
  const bool fixedSince = tree.status(buildDate, missing).has_value();
  // How much and how recent tell a log lost once from one that is being lost now.
  const std::string what = S_ISREG(found->st_mode) ? std::to_string(found->st_size) + " bytes" : "not a regular file";
  checks.push_back(finding(Check::Status::WARN, "log",
                           "entries went to " + fallback + " (" + what + ", last written " +
                               shownDate(found->st_mtime) + ", " + ago(found->st_mtime, ::time(nullptr)) + ")" +
                               (fixedSince ? "" : ": " + buildDate + " is missing"),
                           fixedSince ? "read it, then rm " + fallback
                                      : reinstallAdvice() + " (it writes " + std::string(Paths::kBuildDateFile) +
                                            "), then read and rm " + fallback));
}

void checkPassPhrase(std::vector<Check>& checks) {
  const std::string detail = "fingerprint " + passPhraseFingerprint() + " (SHA-256, first 16 hex digits)";
  if (build::kPlaceholderPassPhrase) {
    checks.push_back(finding(Check::Status::WARN, "pass phrase", detail + ": the placeholder, no server's",
                             "build with -DBRIM_PASS_PHRASE=<the deployment's 32 letters and digits>"));
  } else {
    checks.push_back(finding(Check::Status::OK, "pass phrase", detail));
  }
}

}  // namespace brim::inspect
