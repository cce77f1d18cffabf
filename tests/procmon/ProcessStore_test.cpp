// Sampling into the store and the report read back from it, in this process:
// a recorded `ps` is replayed and the clock is pinned.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "ProcessSamples.h"
#include "platform/DateTime.h"
#include "config/RunFolder.h"
#include "platform/FileSystem.h"
#include "procmon/CollectProcessesData.h"

namespace brim::test {
namespace {

const auto kFirstSample = localTime(2026, 12, 4, 21, 5, 3);

std::string withoutLineBreaks(std::string text) {
  std::erase(text, '\n');
  return text;
}

class ProcessStore : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox_.writeBuildDate();
    sandbox_.writeSettings(4711);
    inProcess_.emplace(sandbox_);
    DateTime::setNowForTesting(kFirstSample);
  }

  std::vector<std::string> rows() const { return storedRows(CollectProcessesData::databasePath()); }
  // The stored rows one a line.
  std::string storedText() const {
    std::string text;
    for (const std::string& row : rows()) text += row + "\n";
    return text;
  }

  Sandbox sandbox_;
  std::optional<SandboxInProcess> inProcess_;  // undone before the sandbox goes
};

TEST_F(ProcessStore, ABusyMachineSampleStoresFortyRowsUnderOneDateAndLeavesNoWorkFiles) {
  replayBusyMachine(sandbox_);
  CollectProcessesData sampler;
  sampler.CollectTopCpunMemProcs();

  // The processor ranking, then the memory ranking; a path with a blank is cut there.
  EXPECT_EQ(storedText(), readFile(procmonFixture("store_after_busy_sample.txt")));
  EXPECT_FALSE(FileSystem::exists(RunFolder::path() + "/ProcInfo"));
}

TEST_F(ProcessStore, TwoSamplesASecondApartKeepEightyRowsUnderTwoDates) {
  replayBusyMachine(sandbox_);
  CollectProcessesData first;
  first.CollectTopCpunMemProcs();
  DateTime::setNowForTesting(kFirstSample + std::chrono::seconds(1));
  CollectProcessesData second;
  second.CollectTopCpunMemProcs();

  const auto stored = rows();
  ASSERT_EQ(stored.size(), 80u);
  std::multiset<std::string> dates;
  for (const auto& row : stored) dates.insert(row.substr(row.rfind('|') + 1));
  EXPECT_EQ(dates.count("12/04/2026 21:05:03"), 40u);
  EXPECT_EQ(dates.count("12/04/2026 21:05:04"), 40u);
  EXPECT_EQ(stored[39].substr(stored[39].rfind('|') + 1), "12/04/2026 21:05:03");
}

// Ten samples at once, past the run lock (as after a take-over): each waits
// for the others' transaction, and no row is lost.
TEST_F(ProcessStore, TenSamplesAtOnceStoreFourHundredRows) {
  replayBusyMachine(sandbox_);
  std::vector<pid_t> samplers;
  for (int i = 0; i < 10; ++i) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      CollectProcessesData sampler;  // each in a folder of its own
      sampler.CollectTopCpunMemProcs();
      ::_exit(0);
    }
    samplers.push_back(pid);
  }
  for (const pid_t pid : samplers) ::waitpid(pid, nullptr, 0);
  EXPECT_EQ(rows().size(), 400u);
}

TEST_F(ProcessStore, ASmallMachineStoresTheHeadingLineWhichThenLeadsBothRankings) {
  replaySmallMachine(sandbox_);
  CollectProcessesData sampler;
  sampler.CollectTopCpunMemProcs();

  // With fewer than twenty processes `tail` keeps the heading line of each listing.
  const auto stored = rows();
  ASSERT_EQ(stored.size(), 12u);
  EXPECT_EQ(stored[0], "%CPU|%MEM|COMMAND|12/04/2026 21:05:03");
  EXPECT_EQ(stored[6], "%CPU|%MEM|COMMAND|12/04/2026 21:05:03");

  // The report ninety seconds later: text sorts above numbers, so the headings come first.
  DateTime::setNowForTesting(kFirstSample + std::chrono::seconds(90));
  CollectProcessesData report;
  report.RetTopCpunMemPrsfrDB();
  EXPECT_EQ(report.CreateProcXMLTree().XMLString(),
            withoutLineBreaks(readFile(procmonFixture("report_small_machine.xml"))));
}

// A store the report cannot read: the report has no process, and its span
// starts at the report job's own start time.
struct UnreadableStore {
  const char* situation;
  void (*make)(const std::string& databasePath);
};

const UnreadableStore kUnreadableStores[] = {
    {"not SQLite at all",
     [](const std::string& database) { writeFile(database, readFile(procmonFixture("ps_by_cpu.txt"))); }},
    {"without the sample table",
     [](const std::string& database) {
       sqlite3* raw = nullptr;
       sqlite3_open(database.c_str(), &raw);
       SqliteDatabase db(raw);
       sqlite3_exec(db.get(), "CREATE TABLE OTHER (A TEXT); INSERT INTO OTHER VALUES ('x')", nullptr, nullptr, nullptr);
     }},
    {"that cannot be opened", [](const std::string& database) { std::filesystem::create_directories(database); }},
};

TEST_F(ProcessStore, AStoreThatCannotBeReadGivesAReportWithoutProcesses) {
  for (const auto& store : kUnreadableStores) {
    SCOPED_TRACE(store.situation);
    std::filesystem::remove_all(CollectProcessesData::databasePath());
    store.make(CollectProcessesData::databasePath());

    DateTime::setNowForTesting(kFirstSample);
    CollectProcessesData report;
    report.RetTopCpunMemPrsfrDB();
    DateTime::setNowForTesting(kFirstSample + std::chrono::seconds(90));
    EXPECT_EQ(report.CreateProcXMLTree().XMLString(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wpmacpradatahr><regid>4711</regid>"
              "<ftime>12/04/2026 21:05:03</ftime><ttime>12/04/2026 21:06:33</ttime></wpmacpradatahr>");
  }
}

}  // namespace
}  // namespace brim::test
