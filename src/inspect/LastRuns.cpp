#include "inspect/LastRuns.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "envelope/RawDeflate.h"
#include "inspect/RootedTree.h"
#include "inspect/ShownDate.h"
#include "inspect/ShownText.h"
#include "inspect/SystemAdvice.h"
#include "platform/LogWording.h"
#include "platform/Paths.h"

namespace brim::inspect {
namespace {

using W = LogWording;

// Whole documents are logged on every run: a plain log is read from its last
// 32 MiB, where its last runs are; a compressed one is inflated whole, but no
// further than any file is read, against a bomb planted as one.
constexpr std::size_t kLogTail = 32u << 20;
constexpr std::size_t kMaxInflated = RootedTree::kMaxFileSize;
// logrotate keeps 8 and newsyslog 7; a few more in case either was told to keep more.
constexpr int kMaxRotated = 20;
// Every line that tells how a job went is short; a document is cut to this.
constexpr std::size_t kKept = 200;

// A line of a run: the signature and text, the text cut to kKept bytes.
struct Line {
  std::string signature;
  std::string text;
};

// A run of brim_asset from its first entry on.
struct Run {
  std::string stamp;
  std::vector<Line> lines;
  bool has(const Sig& signature, std::string_view text) const {
    const std::string sig = signature.text();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const Line& line) { return line.signature == sig && line.text == text; });
  }
  bool logged(const Sig& signature) const {
    const std::string sig = signature.text();
    return std::any_of(lines.begin(), lines.end(), [&](const Line& line) { return line.signature == sig; });
  }
};

// The runs of one log file, oldest first; the lines before its first run
// belong to the last run of the file rotated before it.
struct LogFile {
  std::string path;
  std::vector<Line> head;
  std::vector<Run> runs;
};

// Only the entry point's and the orchestrator's lines tell how a job went.
bool tellsHowAJobWent(std::string_view signature) {
  static const std::string main = W::kMain.text();
  return signature == main || signature.starts_with("-[ConsolidatedAssets ");
}

void addLine(LogFile& file, std::string_view line) {
  const std::optional<LogEntry> entry = logEntryOf(line);
  if (!entry) return;
  static const std::string main = W::kMain.text();
  if (entry->signature == main && entry->text == W::kRunStarts) {
    file.runs.push_back({std::string(entry->stamp), {}});
    return;
  }
  if (!tellsHowAJobWent(entry->signature)) return;
  Line kept{std::string(entry->signature), std::string(entry->text.substr(0, kKept))};
  (file.runs.empty() ? file.head : file.runs.back().lines).push_back(std::move(kept));
}

void addLines(LogFile& file, std::string_view text, std::string& partial) {
  for (std::size_t next; (next = text.find('\n')) != std::string_view::npos;) {
    if (partial.empty()) {
      addLine(file, text.substr(0, next));
    } else {
      partial.append(text.substr(0, next));
      addLine(file, partial);
      partial.clear();
    }
    text.remove_prefix(next + 1);
  }
  // Nothing the doctor reads is this long: the rest of a long line can go.
  partial.append(text.substr(0, kKept * 4 > partial.size() ? kKept * 4 - partial.size() : 0));
}

// The log and the rotated logs that are there, newest first: logrotate names
// them ".1", ".2.gz" (the newest kept plain a day), newsyslog ".0.gz", ".1.gz".
std::vector<std::string> logAndPredecessors(const RootedTree& tree, const std::string& log) {
  std::vector<std::string> files{log};
  for (int n = 0; n <= kMaxRotated; ++n) {
    for (const char* suffix : {"", ".gz"}) {
      const std::string path = log + "." + std::to_string(n) + suffix;
      std::string missing;
      if (tree.status(path, missing)) files.push_back(path);
    }
  }
  return files;
}

// One log file's runs; absent, with why set, when it cannot be read.
std::optional<LogFile> readLogFile(const RootedTree& tree, const std::string& path, std::string& why) {
  LogFile file{path, {}, {}};
  std::string partial;
  if (path.ends_with(".gz")) {
    const std::optional<std::string> compressed = tree.readFile(path, why);
    if (!compressed) return std::nullopt;
    const std::optional<std::string> text = gzipInflate(*compressed, kMaxInflated);
    if (!text) {
      why = path + ": damaged, or inflates beyond " + std::to_string(kMaxInflated >> 20) + " MiB";
      return std::nullopt;
    }
    addLines(file, *text, partial);
    addLines(file, "\n", partial);
    return file;
  }
  const std::optional<std::string> text = tree.readTail(path, kLogTail, why);
  if (!text) return std::nullopt;
  addLines(file, *text, partial);
  addLines(file, "\n", partial);
  return file;
}

// A time stamp as brim_inspect shows dates; as it stands where it names none.
std::string shownStamp(std::string_view stamp) {
  const std::optional<std::time_t> when = stampTime(stamp);
  return when ? shownDate(*when) : std::string(stamp);
}

struct Job {
  const char* name;
  const char* scheduled;  // the job's name in the schedule
  Sig signature;
  std::string_view starts;  // empty: any line of the signature
};

constexpr Job kJobs[] = {
    {"hardware inventory", "inventory", W::kMain, W::kHardwareStarts},
    {"software inventory", "software", W::kMain, W::kSoftwareStarts},
    {"process sample", "proccollect", W::kMain, W::kProcessSampleStarts},
    {"process report", "procsave", W::kMain, W::kProcessReportStarts},
    {"machine details", "macname", W::kMachineDetails, {}},
    {"SMART status", "smartstatus", W::kSmartStatus, {}},
};

bool ranAs(const Run& run, const Job& job) {
  return job.starts.empty() ? run.logged(job.signature) : run.has(job.signature, job.starts);
}

Check howItWent(const Job& job, const Run& run, const std::string& log) {
  const std::string name = std::string("last ") + job.name;
  const std::string when = shownStamp(run.stamp) + ": ";
  if (!run.has(W::kMain, W::kLockRemoved)) {
    return warn(name, when + "did not finish", "see " + shellQuoted(log) + " for where it stopped");
  }
  const bool softwareUnsaved = job.starts == W::kSoftwareStarts && !run.has(W::kMain, W::kSoftwareSaved);
  if (run.has(W::kProcessReportWrite, W::kProcessDataWriteError) || softwareUnsaved) {
    return failed(name, when + "its data-post file was not written", "see the data-post checks");
  }
  const bool saved = std::any_of(run.lines.begin(), run.lines.end(),
                                 [](const Line& line) { return line.text == W::kSavedForWebPost; });
  const bool noConnection =
      std::any_of(run.lines.begin(), run.lines.end(), [](const Line& line) { return line.text == W::kNoConnection; });
  if (saved) {
    return warn(name,
                when + "not delivered" + (noConnection ? " (no connection)" : "") +
                    ": saved as a data-post file for the uploader",
                "check the network and the web post's site");
  }
  if (run.has(job.signature, W::kNoResponse)) {
    return warn(name, when + "no answer from the server, and not saved for the uploader", "check the web post's site");
  }
  return ok(name, when + "finished");
}

}  // namespace

std::optional<LogEntry> logEntryOf(std::string_view line) {
  // The stamp has as many blanks as its pattern; the next one ends it.
  const auto blanks = std::count(W::kTimestampPattern.begin(), W::kTimestampPattern.end(), ' ');
  if (line.empty() || line.front() < '0' || line.front() > '9') return std::nullopt;
  std::size_t at = 0;
  for (std::ptrdiff_t i = 0; i <= blanks; ++i) {
    at = line.find(' ', at);
    if (at == std::string_view::npos) return std::nullopt;
    ++at;
  }
  const std::string_view message = line.substr(at);
  // An operation's signature holds colons inside its brackets; a function's holds none.
  std::size_t end = std::string_view::npos;
  if (message.starts_with("-[") || message.starts_with("+[")) {
    end = message.find("]:");
    if (end != std::string_view::npos) ++end;
  } else {
    end = message.find(':');
  }
  if (end == std::string_view::npos) return std::nullopt;
  return LogEntry{line.substr(0, at - 1), message.substr(0, end), message.substr(end + 1)};
}

std::optional<std::time_t> stampTime(std::string_view stamp) {
  // "M/d/yy, h:mm:ss a"
  int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
  char half[3] = {};
  int used = 0;
  const std::string text(stamp);
  if (std::sscanf(text.c_str(), "%2d/%2d/%2d, %2d:%2d:%2d %2[AMP]%n", &month, &day, &year, &hour, &minute, &second,
                  half, &used) != 7 ||
      static_cast<std::size_t>(used) != text.size()) {
    return std::nullopt;
  }
  const bool pm = std::strcmp(half, "PM") == 0;
  if ((!pm && std::strcmp(half, "AM") != 0) || month < 1 || month > 12 || day < 1 || day > 31 || hour < 1 ||
      hour > 12 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  std::tm parts{};
  parts.tm_year = 100 + year;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour % 12 + (pm ? 12 : 0);
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  const std::time_t when = std::mktime(&parts);
  if (when == static_cast<std::time_t>(-1)) return std::nullopt;
  return when;
}

void checkLastRuns(std::vector<Check>& checks, const RootedTree& tree) {
  const std::string log = Paths::fixed(Paths::kLogDir) + "/brim_asset.log";
  std::string unreadable;
  const std::vector<std::string> paths = logAndPredecessors(tree, log);
  if (!tree.status(log, unreadable) && paths.size() == 1) {
    checks.push_back(warn("last runs", log + " missing: the tool has not run here",
                          startJobAdvice("inventory") + ", or run brim_asset as root"));
    return;
  }
  // Newest first, until every job's last run is found: the oldest file read
  // gives where the history read starts.
  const Run* newestRun = nullptr;
  const Run* last[std::size(kJobs)] = {};
  // The runs found are kept by address: the files are moved, never copied.
  std::vector<LogFile> files;
  files.reserve(paths.size());
  std::string historyStart;
  std::size_t read = 0;
  for (const std::string& path : paths) {
    if (std::all_of(std::begin(last), std::end(last), [](const Run* run) { return run != nullptr; })) break;
    std::string why;
    std::optional<LogFile> file = readLogFile(tree, path, why);
    if (!file) {
      // The current log must be readable; a damaged old one only ends the history.
      if (path == log && tree.status(path, unreadable)) {
        checks.push_back(failed("last runs", why, "make the log a plain file"));
        return;
      }
      if (path == log) continue;  // missing after a rotation: no entry since
      checks.push_back(warn("log history", why + ": older runs not read", "remove or repair it"));
      break;
    }
    ++read;
    // What the newer file holds before its first run ends this file's last run.
    if (!files.empty() && !file->runs.empty()) {
      std::vector<Line>& tail = file->runs.back().lines;
      tail.insert(tail.end(), files.back().head.begin(), files.back().head.end());
    }
    files.push_back(std::move(*file));
    const LogFile& now = files.back();
    if (!now.runs.empty()) historyStart = now.runs.front().stamp;
    for (auto run = now.runs.rbegin(); run != now.runs.rend(); ++run) {
      if (!newestRun) newestRun = &*run;
      for (std::size_t j = 0; j < std::size(kJobs); ++j) {
        if (!last[j] && ranAs(*run, kJobs[j])) last[j] = &*run;
      }
    }
  }
  const std::string history =
      historyStart.empty() ? std::string("no run in ") : "from " + shownStamp(historyStart) + " in ";
  checks.push_back(ok("log history", history + std::to_string(read) + (read == 1 ? " file" : " files") +
                                         " (the log and its rotated predecessors, newest first)"));
  if (newestRun && newestRun->has(W::kMain, W::kRegIdStillZero)) {
    checks.push_back(failed("last run", shownStamp(newestRun->stamp) + ": stopped, registration id still 0",
                            std::string(Paths::kInstallDir) + "/bin/brim_register, and look at its output"));
  }
  for (std::size_t j = 0; j < std::size(kJobs); ++j) {
    const Job& job = kJobs[j];
    if (!last[j]) {
      const std::string since = historyStart.empty() ? "" : " since " + shownStamp(historyStart);
      checks.push_back(
          warn(std::string("last ") + job.name, "no run in the log" + since, startJobAdvice(job.scheduled)));
    } else {
      checks.push_back(howItWent(job, *last[j], log));
    }
  }
}

}  // namespace brim::inspect
