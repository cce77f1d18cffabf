// Process monitoring: sampling into the store and the report read back from
// it in this process, with a recorded `ps` replayed and the clock pinned; then
// "-ProcCollect" and "-ProcSave" run end to end in a sandboxed installation.
#include <gmock/gmock.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <pugixml.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/RunFolder.h"
#include "platform/DateTime.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "procmon/CollectProcessesData.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {
namespace fs = std::filesystem;

std::string procmonFixture(const std::string& name) { return fixture("procmon/" + name); }

// Puts a `ps` first on PATH that prints a recorded listing: the processor
// ranking when asked to sort by processor share (Linux or macOS option), the
// memory ranking otherwise. The busy machine ("ps_") has more than twenty
// processes, recorded while it compiled, and one command path holds a blank;
// the small one ("ps_small_") has five, so each listing keeps its heading line.
void replayPs(const Sandbox& sandbox, const std::string& machine) {
  sandbox.writeExecutable(sandbox.fakeBinDir() + "/ps",
                          "#!/bin/sh\nfor arg in \"$@\"; do\n  case \"$arg\" in --sort=-pcpu|-r) exec cat '" +
                              procmonFixture(machine + "by_cpu.txt") + "' ;; esac\ndone\nexec cat '" +
                              procmonFixture(machine + "by_mem.txt") + "'\n");
}

// The first column of each row the statements give; empty when the store cannot be read.
std::vector<std::string> sql(const std::string& database, const std::string& statements,
                             int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) {
  std::vector<std::string> rows;
  sqlite3* raw = nullptr;
  sqlite3_open_v2(database.c_str(), &raw, flags, nullptr);
  SqliteDatabase db(raw);
  const auto addRow = [](void* to, int, char** values, char**) {
    static_cast<std::vector<std::string>*>(to)->emplace_back(values[0]);
    return 0;
  };
  sqlite3_exec(db.get(), statements.c_str(), addRow, &rows, nullptr);
  return rows;
}

// The rows of the sample table in the order stored, as "CPU_PERC|MEM_PERC|APPLICATION|DATE".
std::vector<std::string> storedRows(const std::string& database) {
  return sql(database,
             "SELECT printf('%s|%s|%s|%s', CPU_PERC, MEM_PERC, APPLICATION, DATE) FROM PROCSDATA ORDER BY rowid",
             SQLITE_OPEN_READONLY);
}

class ProcessStore : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox_.installRecordedMac();
    inProcess_.emplace(sandbox_);
    DateTime::setNowForTesting(kDecemberEvening);
  }
  static void sample() {
    CollectProcessesData sampler;
    sampler.CollectTopCpunMemProcs();
  }
  // A sample, then a report read from the store: what both logged.
  static std::string sampleAndReport() {
    return stdoutOf([] {
      sample();
      CollectProcessesData report;
      report.RetTopCpunMemPrsfrDB();
    });
  }
  std::vector<std::string> rows() const { return storedRows(CollectProcessesData::databasePath()); }

  Sandbox sandbox_;
  TimeZone zone_{"America/New_York"};
  std::optional<SandboxInProcess> inProcess_;  // undone before the sandbox goes
};

TEST_F(ProcessStore, ABusyMachineSampleStoresFortyRowsUnderOneDateAndASecondOneFortyMore) {
  replayPs(sandbox_, "ps_");
  sample();
  // The processor ranking, then the memory ranking; a path with a blank is cut there.
  std::string stored;
  for (const std::string& row : rows()) stored += row + "\n";
  EXPECT_EQ(stored, readFile(procmonFixture("store_after_busy_sample.txt")));
  EXPECT_FALSE(FileSystem::exists(RunFolder::path() + "/ProcInfo"));

  DateTime::setNowForTesting(kDecemberEvening + std::chrono::seconds(1));
  sample();
  EXPECT_EQ(sql(CollectProcessesData::databasePath(),
                "SELECT DATE || ' ' || count(*) FROM PROCSDATA GROUP BY DATE ORDER BY DATE", SQLITE_OPEN_READONLY),
            (std::vector<std::string>{"12/04/2026 21:05:03 40", "12/04/2026 21:05:04 40"}));
}

// Ten samples at once, past the run lock (as after a take-over): each waits
// for the others' transaction, and no row is lost.
TEST_F(ProcessStore, TenSamplesAtOnceStoreFourHundredRows) {
  replayPs(sandbox_, "ps_");
  inChildProcesses(10, [](int) { sample(); });  // each in a folder of its own
  EXPECT_EQ(rows().size(), 400u);
}

TEST_F(ProcessStore, ASmallMachineStoresTheHeadingLineWhichThenLeadsBothRankings) {
  replayPs(sandbox_, "ps_small_");
  sample();
  // With fewer than twenty processes `tail` keeps the heading line of each listing.
  const auto stored = rows();
  ASSERT_EQ(stored.size(), 12u);
  EXPECT_EQ(stored[0], "%CPU|%MEM|COMMAND|12/04/2026 21:05:03");
  EXPECT_EQ(stored[6], "%CPU|%MEM|COMMAND|12/04/2026 21:05:03");

  // The report ninety seconds later: text sorts above numbers, so the headings come first.
  DateTime::setNowForTesting(kDecemberEvening + std::chrono::seconds(90));
  CollectProcessesData report;
  report.RetTopCpunMemPrsfrDB();
  std::string expected = readFile(procmonFixture("report_small_machine.xml"));
  std::erase(expected, '\n');
  EXPECT_EQ(report.CreateProcXMLTree().XMLString(), expected);
}

// The store's folder replaced by a link to a folder of anybody's: neither a
// sample nor a report creates, reads or rolls back anything where it points.
TEST_F(ProcessStore, ALinkInPlaceOfTheStoresFolderIsRefusedAndNothingIsWrittenThere) {
  const std::string store = CollectProcessesData::databasePath();
  const std::string folder = store.substr(0, store.rfind('/'));
  const std::string outside = sandbox_.root() + "/outside";
  fs::create_directory(outside);
  fs::rename(folder, folder + ".checked");
  fs::create_directory_symlink(outside, folder);
  replayPs(sandbox_, "ps_small_");
  const std::string echoed = sampleAndReport();
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_THAT(echoed, ::testing::HasSubstr("process store not used: "));
  EXPECT_THAT(echoed, ::testing::HasSubstr("Failed to open database"));
}

// A store without the sample table, read by the report alone: the report has
// no process, and its span starts at the report job's own start time. The
// stores it cannot open or that are not SQLite are shown by the "-ProcSave" runs.
TEST_F(ProcessStore, AStoreWithoutTheSampleTableGivesAReportWithoutProcesses) {
  sql(CollectProcessesData::databasePath(), "CREATE TABLE OTHER (A TEXT); INSERT INTO OTHER VALUES ('x')");
  CollectProcessesData report;
  report.RetTopCpunMemPrsfrDB();
  DateTime::setNowForTesting(kDecemberEvening + std::chrono::seconds(90));
  EXPECT_EQ(report.CreateProcXMLTree().XMLString(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wpmacpradatahr><regid>4711</regid>"
            "<ftime>12/04/2026 21:05:03</ftime><ttime>12/04/2026 21:06:33</ttime></wpmacpradatahr>");
}

// The store outlives the run: a trigger planted in it never runs, and a store
// grown past the bound is ranked by its first 100,000 rows, as the log says.
TEST_F(ProcessStore, APlantedTriggerNeverRunsAndAReportRanksABoundedNumberOfRows) {
  const std::string database = CollectProcessesData::databasePath();
  EXPECT_EQ(sql(database,
                "CREATE TABLE PROCSDATA (CPU_PERC DOUBLE,MEM_PERC DOUBLE,APPLICATION TEXT,DATE TEXT);"
                "CREATE TABLE PLANTED (A TEXT);"
                "CREATE TRIGGER T AFTER INSERT ON PROCSDATA BEGIN INSERT INTO PLANTED VALUES ('ran'); END;"
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100001) "
                "INSERT INTO PROCSDATA SELECT 0.5, 0.5, 'filler', '12/01/2026 00:00:00' FROM n;"
                "DELETE FROM PLANTED; SELECT count(*) FROM PROCSDATA"),
            std::vector<std::string>{"100001"});
  replayPs(sandbox_, "ps_small_");
  sample();
  EXPECT_EQ(rows().size(), 100001u + 12u);
  EXPECT_EQ(sql(database, "SELECT count(*) FROM PLANTED"), std::vector<std::string>{"0"});
  CollectProcessesData report;
  EXPECT_THAT(stdoutOf([&] { report.RetTopCpunMemPrsfrDB(); }),
              ::testing::HasSubstr("The store holds more than 100000 rows; the report ranks the first 100000"));
}

// A store whose last transaction died half-way: the pages it changed are in
// the database, the old ones in its hot journal beside it, which the next
// opening of the store rolls back.
void crashMidTransaction(const std::string& database) {
  sql(database,
      "CREATE TABLE PROCSDATA (CPU_PERC DOUBLE,MEM_PERC DOUBLE,APPLICATION TEXT,DATE TEXT);"
      "INSERT INTO PROCSDATA VALUES (1.5, 2.5, '/usr/sbin/cfprefsd', '12/04/2026 21:05:03')");
  const pid_t child = ::fork();
  if (child == 0) {
    sqlite3* db = nullptr;
    sqlite3_open(database.c_str(), &db);
    // A cache of a few pages: the changed ones go to the database before the commit.
    sqlite3_exec(db,
                 "PRAGMA cache_size=5; BEGIN; UPDATE PROCSDATA SET APPLICATION='rolled back';"
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                 "INSERT INTO PROCSDATA SELECT 0, 0, hex(randomblob(500)), '' FROM n",
                 nullptr, nullptr, nullptr);
    ::_exit(0);
  }
  ::waitpid(child, nullptr, 0);
}

// Ends the journal with the name of its super journal, as a transaction over
// several databases writes it: once the journal is rolled back, SQLite
// deletes that file unless it lists a journal still in use.
void nameSuperJournal(const std::string& journal, const std::string& superJournal) {
  std::string record;
  const auto put32 = [&record](uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) record += static_cast<char>((value >> shift) & 0xFF);
  };
  put32((0x40000000u / 4096u) + 1u);  // the page number that marks the record
  record += superJournal;
  put32(static_cast<uint32_t>(superJournal.size()));
  uint32_t sum = 0;
  for (const char c : superJournal) sum += static_cast<unsigned char>(c);
  put32(sum);
  record += std::string("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);  // the journal's magic
  writeFile(journal, readFile(journal) + record);
}

// A hot journal beside the store that root did not write alone (another
// user's, or root's own under a second name, a write-ahead log or its index
// of another user) is refused with the store: the file it names as its super
// journal stays, and so does the store, byte for byte. SQLite itself, shown
// the same journal, would roll it back and delete that file.
TEST_F(ProcessStore, AJournalPlantedBesideTheStoreIsNeverRolledBack) {
  BRIM_REQUIRE_ROOT();
  const std::string crashed = sandbox_.root() + "/crashed.sql";
  crashMidTransaction(crashed);
  ASSERT_GT(fs::file_size(crashed + "-journal"), 512u);
  const std::string victim = sandbox_.root() + "/victim";

  const std::string control = sandbox_.root() + "/control.sql";
  fs::copy_file(crashed, control);
  fs::copy_file(crashed + "-journal", control + "-journal");
  nameSuperJournal(control + "-journal", victim);
  writeFile(victim, "precious\n");
  EXPECT_EQ(sql(control, "SELECT APPLICATION FROM PROCSDATA"), std::vector<std::string>{"/usr/sbin/cfprefsd"});
  ASSERT_FALSE(fs::exists(victim)) << "the journal is not hot: the test shows nothing";

  const std::string store = CollectProcessesData::databasePath();
  replayPs(sandbox_, "ps_small_");
  for (const auto& planting : fixtureCases("procmon/planted-journals.cases", 3)) {
    SCOPED_TRACE(planting[0]);
    const std::string companion = store + planting[1];
    for (const char* suffix : {"", "-journal", "-journal.second", "-wal", "-shm"}) fs::remove(store + suffix);
    fs::copy_file(crashed, store);
    ::chmod(store.c_str(), 0600);
    fs::copy_file(crashed + "-journal", companion);
    nameSuperJournal(companion, victim);
    if (planting[2] == "second name") {
      fs::create_hard_link(companion, companion + ".second");
    } else {
      ASSERT_EQ(::chown(companion.c_str(), 65534, 65534), 0);
    }
    writeFile(victim, "precious\n");
    const std::string before = readFile(store);

    const std::string echoed = sampleAndReport();
    EXPECT_EQ(readFile(victim), "precious\n");
    EXPECT_TRUE(readFile(store) == before);
    EXPECT_THAT(echoed, ::testing::HasSubstr("process store not used: refused " + companion));
    EXPECT_THAT(echoed, ::testing::Not(::testing::HasSubstr("INSERT SUCCESS")));
  }
}

// The store carries what runs on the machine: a store others may read or
// write is made root's alone and used; a new one is made so from the start.
TEST_F(ProcessStore, AStoreOthersMayReadIsMadeRootsAlone) {
  replayPs(sandbox_, "ps_small_");
  const std::string store = CollectProcessesData::databasePath();
  sample();
  EXPECT_EQ(fs::status(store).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  ::chmod(store.c_str(), 0666);
  EXPECT_THAT(stdoutOf([] { sample(); }),
              ::testing::HasSubstr("-[CollectProcessesData CreatnInsttoProcsDB:]:process store " + store +
                                   " had mode 666: made 600"));
  EXPECT_EQ(fs::status(store).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(rows().size(), 24u);
  // Its journal is kept in memory: nothing is left beside it.
  EXPECT_FALSE(fs::exists(store + "-journal"));
}

using Lines = std::vector<std::string>;

// The children of a process report, one a line: "regid=4711", "ftime=…", and
// each "prs" as "<cpu> <mem> <name>".
Lines reportChildren(const std::string& text) {
  Lines children;
  pugi::xml_document doc;
  doc.load_string(text.c_str());
  for (const pugi::xml_node child : doc.child("wpmacpradatahr").children()) {
    const std::string name = child.name();
    children.push_back(name != "prs" ? name + "=" + child.child_value()
                                     : std::string(child.attribute("cpu").value()) + " " +
                                           child.attribute("mem").value() + " " + child.attribute("name").value());
  }
  return children;
}

class ProcessReportRun : public ::testing::Test {
 protected:
  void SetUp() override { sandbox_.installRecordedMac(); }
  static std::string database(const Sandbox& sandbox) { return sandbox.root() + std::string(Paths::kProcsDatabase); }

  Sandbox sandbox_;
};

TEST_F(ProcessReportRun, CollectThenSaveReportsBothSamplesAndEmptiesTheStore) {
  BRIM_REQUIRE_ROOT();
  replayPs(sandbox_, "ps_");

  ASSERT_EQ(sandbox_.run({"-ProcCollect"}).exitStatus, 0);
  const auto firstSample = storedRows(database(sandbox_));
  ASSERT_EQ(firstSample.size(), 40u);
  const std::string firstSampleTime = firstSample.front().substr(firstSample.front().rfind('|') + 1);

  const RunResult save = sandbox_.runExpecting(0, {"-ProcSave"});
  const std::string report = sandbox_.takeDataPostFile("wpmacpradatahr");
  const Lines children = reportChildren(report);
  ASSERT_EQ(children.size(), 43u) << report;
  EXPECT_EQ(Lines(children.begin(), children.begin() + 2), (Lines{"regid=4711", "ftime=" + firstSampleTime}));
  EXPECT_THAT(children[2], ::testing::MatchesRegex("ttime=[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}"));

  // 80 rows, the stored sample and the report job's own, so every entry stands
  // at least twice: the processor ranking, then the memory ranking. Rows of
  // equal memory share come in the database's order; only the last four places
  // are drawn from the many processes without a memory share.
  std::istringstream reviewed(readFile(procmonFixture("report_busy_rankings.txt")));
  Lines expected;
  for (std::string line; std::getline(reviewed, line);) expected.push_back(line);
  ASSERT_EQ(expected.size(), 36u);
  EXPECT_EQ(Lines(children.begin() + 3, children.begin() + 23), Lines(expected.begin(), expected.begin() + 20));
  const auto share = [](const std::string& entry) { return entry.substr(entry.find(' ') + 1, 4); };
  const Lines memory(children.begin() + 23, children.begin() + 39),
      expectedMemory(expected.begin() + 20, expected.end());
  for (size_t i = 0; i < memory.size(); ++i) EXPECT_EQ(share(memory[i]), share(expectedMemory[i])) << i;
  for (auto entry = children.begin() + 39; entry != children.end(); ++entry) EXPECT_EQ(share(*entry), "0.00");
  EXPECT_THAT(memory, ::testing::UnorderedElementsAreArray(expectedMemory));

  // The same text is appended to the day's log of reports.
  Lines logs;
  for (const auto& entry : fs::recursive_directory_iterator(sandbox_.path("data/MacBook Pro"))) {
    if (entry.is_regular_file()) logs.push_back(fs::relative(entry.path(), sandbox_.path("data/MacBook Pro")));
  }
  EXPECT_THAT(logs, ::testing::ElementsAre(::testing::MatchesRegex("[0-9]{6}/PRS/PRS_[0-9]{8}\\.log")));
  if (!logs.empty()) {
    EXPECT_EQ(readFile(sandbox_.path("data/MacBook Pro/" + logs.front())), report + "\n");
  }

  EXPECT_FALSE(fs::exists(database(sandbox_)));
  ASSERT_EQ(sandbox_.run({"-ProcCollect"}).exitStatus, 0);
  EXPECT_EQ(storedRows(database(sandbox_)).size(), 40u);
}

// A store the report cannot read: the report has no process, its span starts
// at the report job's own start time, and a store that stays behind is said so
// by every report run. (A store without the sample table gets one from the
// job's own sample; the report alone is shown in process.)
TEST_F(ProcessReportRun, SaveWithAStoreItCannotUseStillWritesAReport) {
  BRIM_REQUIRE_ROOT();
  // What is where the store should be, and what the run logs before the store's path.
  for (const auto& [situation, logged] :
       {std::pair{"not SQLite", ""}, {"a folder", "cannot remove "}, {"a link to a store elsewhere", "refused "}}) {
    SCOPED_TRACE(situation);
    Sandbox sandbox;
    sandbox.installRecordedMac();
    replayPs(sandbox, "ps_");
    const std::string store = database(sandbox);
    if (std::string_view(situation) == "not SQLite") {
      writeFile(store, readFile(procmonFixture("ps_by_mem.txt")));
    } else if (std::string_view(situation) == "a folder") {
      fs::create_directories(store);
    } else {
      fs::copy_file(procmonFixture("ps_by_cpu.txt"), store + ".elsewhere");
      fs::create_symlink(store + ".elsewhere", store);
    }
    const RunResult save = sandbox.runExpecting(0, {"-ProcSave"});
    // The time stamp the report job's own sampler took, from its log line.
    std::smatch started;
    std::regex_search(save.output, started, std::regex("-\\[CollectProcessesData init\\]:datestring:([^\n]*)"));
    EXPECT_THAT(reportChildren(sandbox.takeDataPostFile("wpmacpradatahr")),
                ::testing::ElementsAre("regid=4711", "ftime=" + started[1].str(), ::testing::StartsWith("ttime=")));
    EXPECT_THAT(save.output, ::testing::HasSubstr(logged + store));
    if (fs::exists(store + ".elsewhere")) {
      EXPECT_EQ(readFile(store + ".elsewhere"), readFile(procmonFixture("ps_by_cpu.txt")));
    }
  }
}

// A report that cannot be written (no data-post folder, or one on a disk that
// takes no writes) leaves every sample in the store, its own among them; the
// next report that is written covers them all, from the first.
TEST_F(ProcessReportRun, ASaveThatCannotWriteItsReportKeepsTheSamples) {
  BRIM_REQUIRE_ROOT();
  replayPs(sandbox_, "ps_");
  ASSERT_EQ(sandbox_.run({"-ProcCollect"}).exitStatus, 0);
  const std::string firstRow = storedRows(database(sandbox_)).front();
  const std::string firstSampleTime = firstRow.substr(firstRow.rfind('|') + 1);
  const std::string dataPost = sandbox_.path("datapost");
  size_t samples = 1;
  for (const char* situation : {"no data-post folder", "a read-only data-post folder"}) {
    SCOPED_TRACE(situation);
    const bool missing = std::string_view(situation) == "no data-post folder";
    if (missing) {
      fs::remove_all(dataPost);
    } else if (!mountTmpfs(dataPost, "size=64k,mode=755", true)) {
      continue;  // no file system can be mounted here
    }
    const RunResult save = sandbox_.runExpecting(255, {"-ProcSave"});
    if (!missing) unmountTmpfs(dataPost);
    fs::create_directories(dataPost);
    EXPECT_THAT(save.output, ::testing::HasSubstr("PROCESS DATA WRITE ERROR"));
    EXPECT_THAT(save.output, ::testing::Not(::testing::HasSubstr("Inside deleteProcDBTable")));
    EXPECT_EQ(storedRows(database(sandbox_)).size(), 40u * ++samples);
    EXPECT_TRUE(sandbox_.listDir("datapost").empty());
  }

  sandbox_.runExpecting(0, {"-ProcSave"});
  const Lines children = reportChildren(sandbox_.takeDataPostFile("wpmacpradatahr"));
  ASSERT_EQ(children.size(), 43u);
  EXPECT_EQ(children[1], "ftime=" + firstSampleTime);
  EXPECT_FALSE(fs::exists(database(sandbox_)));
}

TEST_F(ProcessReportRun, SaveOnThisMachinesOwnPsNamesItsProcesses) {
  BRIM_REQUIRE_ROOT();
  const RunResult save = sandbox_.runExpecting(0, {"-ProcSave"});
  const std::string report = sandbox_.takeDataPostFile("wpmacpradatahr");
  const Lines children = reportChildren(report);
  ASSERT_GT(children.size(), 3u) << report;

  // The command names of this machine's processes.
  std::istringstream listing(runShell("ps -eo comm=").output);
  const std::set<std::string> running{std::istream_iterator<std::string>(listing), {}};
  size_t named = 0;
  for (auto entry = children.begin() + 3; entry != children.end(); ++entry) {
    EXPECT_THAT(*entry, ::testing::MatchesRegex("[0-9]+\\.[0-9]{2} [0-9]+\\.[0-9]{2} .+"));
    if (running.count(entry->substr(entry->find(' ', entry->find(' ') + 1) + 1))) ++named;
  }
  // Short-lived commands may be gone by now; the machine's long-running processes are not.
  EXPECT_GT(named, 0u) << report;
}

}  // namespace
}  // namespace brim::test
