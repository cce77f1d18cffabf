// brim_inspect's own words: the dates it prints, and how the doctor reads
// the tool's log back, through rotations and past text that only looks like
// the tool's lines.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "inspect/LastRuns.h"
#include "inspect/RootedTree.h"
#include "inspect/ShownDate.h"
#include "platform/CustomLogger.h"
#include "platform/LogWording.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// One moment in zones east and west of Greenwich, by POSIX rules that need no
// zone database: the wall clock moves, the offset says by how much.
TEST(ShownDate, IsIso8601LocalTimeWithItsOffset) {
  constexpr std::time_t kMoment = 1796436303;  // 2026-12-05 02:05:03 UTC
  const std::pair<const char*, const char*> kZones[] = {
      {"UTC0", "2026-12-05 02:05:03 +00:00"},        {"EST5", "2026-12-04 21:05:03 -05:00"},
      {"IST-5:30", "2026-12-05 07:35:03 +05:30"},    {"NST3:30", "2026-12-04 22:35:03 -03:30"},
      {"CHAST-12:45", "2026-12-05 14:50:03 +12:45"},
  };
  for (const auto& [zone, shown] : kZones) {
    const TimeZone tz(zone);
    EXPECT_EQ(inspect::shownDate(kMoment), shown) << zone;
  }
  const TimeZone utc("UTC0");
  EXPECT_EQ(inspect::shownDate(0), "1970-01-01 00:00:00 +00:00");
}

// The doctor's findings about the last runs of an installation's log.
std::string lastRuns(const Sandbox& sandbox) {
  const SandboxRoot root(sandbox);
  std::vector<inspect::Check> checks;
  inspect::checkLastRuns(checks, inspect::RootedTree(sandbox.root()));
  return inspect::doctorText(checks);
}

// Entries the tool's own logger writes are what the doctor reads: the time
// stamp, the signature and the text come apart as they went in, whatever
// the text holds.
TEST(LastRuns, ReadsEntriesAsTheToolsLoggerWritesThem) {
  const Sandbox sandbox;
  sandbox.writeBuildDate();
  const TimeZone utc("UTC0");
  std::string log;
  {
    const SandboxRoot root(sandbox);
    stdoutOf([] {
      logAt(LogWording::kMain, LogWording::kRunStarts);
      logAt(Sig::instance("ConsolidatedAssets", "sendXML:toWebPost:withEncryptionKey:"), "xml string = <a>:b</a>");
      logAt(LogWording::kMain, LogWording::kLockRemoved);
    });
    log = readFile(CustomLogger::locationPath());
  }
  // Entries point into their lines: the lines are kept.
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::vector<inspect::LogEntry> entries;
  for (const std::string& line : lines) {
    if (const auto entry = inspect::logEntryOf(line)) {
      entries.push_back(*entry);
      EXPECT_TRUE(inspect::stampTime(entry->stamp)) << line;
    }
  }
  ASSERT_EQ(entries.size(), 3u) << log;
  EXPECT_EQ(entries[0].signature, "int main(int, const char **)");
  EXPECT_EQ(entries[0].text, "Asset collection");
  EXPECT_EQ(entries[1].signature, "-[ConsolidatedAssets sendXML:toWebPost:withEncryptionKey:]");
  EXPECT_EQ(entries[1].text, "xml string = <a>:b</a>");
  // Text that is no entry: the header, a bare line, a stamp that is no date.
  for (const char* line : {"Build Date", "-----------", "12/6/26, 5:00:01 AM", "13/40/26, 5:00:01 AM x:y"}) {
    const auto entry = inspect::logEntryOf(line);
    EXPECT_TRUE(!entry || !inspect::stampTime(entry->stamp)) << line;
  }
}

// A log as the tool leaves it after one run, and what the doctor says of the
// job; the cases hold lines a server or a document put into the log.
TEST(LastRuns, MatchesTheToolsOwnLinesNotTheirWordsInsideAnswers) {
  const TimeZone utc("UTC0");
  for (const auto& c : fixtureCases("inspect/last-runs.cases", 3)) {
    SCOPED_TRACE(c[0]);
    const Sandbox sandbox;
    writeFile(sandbox.path("log/brim_asset.log"), c[1]);
    EXPECT_THAT(lastRuns(sandbox), HasSubstr(c[2]));
  }
}

// The log of the sandbox's runs, named after brim_asset_sandbox.
std::string sandboxLog(const Sandbox& sandbox) { return sandbox.path("log/brim_asset_sandbox.log"); }

// What logrotate does to the log, or lays out as it would where it is not installed.
void rotate(const Sandbox& sandbox) {
  const std::string log = sandboxLog(sandbox);
  if (runShell("command -v logrotate").exitStatus == 0) {
    writeFile(sandbox.root() + "/logrotate.conf",
              "'" + log + "' {\n rotate 8\n compress\n delaycompress\n create 0600 root root\n su root root\n}\n");
    const RunResult rotated = runShell("logrotate -f -s '" + sandbox.root() + "/logrotate.state' '" + sandbox.root() +
                                       "/logrotate.conf' 2>&1");
    ASSERT_EQ(rotated.exitStatus, 0) << rotated.output;
    return;
  }
  // Compressed copies move up one; the newest one is compressed a rotation late.
  for (int n = 7; n >= 2; --n) {
    const std::string older = log + "." + std::to_string(n) + ".gz";
    if (std::filesystem::exists(older)) std::filesystem::rename(older, log + "." + std::to_string(n + 1) + ".gz");
  }
  if (std::filesystem::exists(log + ".1")) {
    ASSERT_EQ(runShell("gzip -n -c '" + log + ".1' > '" + log + ".2.gz'").exitStatus, 0);
    std::filesystem::remove(log + ".1");
  }
  std::filesystem::rename(log, log + ".1");
  writeFile(log, "");
  ::chmod(log.c_str(), 0600);
}

// After two rotations the last runs lie in three files, one compressed: the
// doctor finds each job's last run in whichever holds it, and says how far
// back it read.
TEST(LastRuns, FindsEachJobsLastRunAcrossRotatedLogs) {
  BRIM_REQUIRE_ROOT();
  const TimeZone utc("UTC0");
  Sandbox sandbox;
  sandbox.installRecordedMac();
  sandbox.writeRouteTable(false);
  sandbox.runExpecting(0, {"-ProcCollect"});
  sandbox.run({"-macName"});
  rotate(sandbox);
  sandbox.runExpecting(0, {"-software"});
  sandbox.run({"-smartstatus"});
  rotate(sandbox);
  sandbox.runExpecting(0, {"-ProcSave"});
  // The files as the installed tool's, brim_asset.log and its predecessors.
  for (const char* suffix : {"", ".1", ".2.gz"}) {
    ASSERT_TRUE(std::filesystem::exists(sandboxLog(sandbox) + suffix)) << suffix;
    std::filesystem::rename(sandboxLog(sandbox) + suffix, sandbox.path("log/brim_asset.log") + suffix);
  }

  const std::string found = lastRuns(sandbox);
  for (const char* job : {"process sample", "machine details", "software inventory", "SMART status"}) {
    EXPECT_THAT(found,
                ::testing::ContainsRegex(std::string("(OK  |WARN) last ") + job + ": 20[0-9-]+ [0-9:]+ \\+00:00: "))
        << found;
  }
  EXPECT_THAT(found, HasSubstr("OK   last process report: "));
  EXPECT_THAT(found, HasSubstr("OK   last software inventory: "));
  // The full inventory never ran: every file was read, back to the first run.
  EXPECT_THAT(found, ::testing::ContainsRegex("WARN last hardware inventory: no run in the log since 20[0-9-]+ "));
  EXPECT_THAT(found, ::testing::ContainsRegex("OK   log history: from 20[0-9-]+ [0-9:]+ \\+00:00 in 3 files "));
  EXPECT_THAT(found, Not(HasSubstr("did not finish")));
}

// Rotated logs are input like any other: a compressed one that is damaged or
// inflates without end ends the history read, with a line saying so.
TEST(LastRuns, ADamagedOrEndlessRotatedLogEndsTheHistory) {
  const TimeZone utc("UTC0");
  const Sandbox sandbox;
  const std::string log = sandbox.path("log/brim_asset.log");
  writeFile(log,
            "12/6/26, 5:00:01 AM int main(int, const char **):Asset collection\n"
            "12/6/26, 5:00:03 AM int main(int, const char **):Collect top 20 CPU and Memory processes\n"
            "12/6/26, 5:00:04 AM int main(int, const char **):Lock Removed\n");
  writeFile(log + ".1.gz", "\x1f\x8b\x08\x00 not deflate");
  ASSERT_EQ(runShell("head -c 70000000 /dev/zero | gzip -1 > '" + log + ".2.gz'").exitStatus, 0);
  std::string found = lastRuns(sandbox);
  EXPECT_THAT(found, HasSubstr("OK   last process sample: 2026-12-06 05:00:01 +00:00: finished"));
  EXPECT_THAT(found,
              HasSubstr("WARN log history: " + log + ".1.gz: damaged, or inflates beyond 64 MiB: older runs not read"));
  std::filesystem::remove(log + ".1.gz");
  found = lastRuns(sandbox);
  EXPECT_THAT(found,
              HasSubstr("WARN log history: " + log + ".2.gz: damaged, or inflates beyond 64 MiB: older runs not read"));
}

}  // namespace
}  // namespace brim::test
