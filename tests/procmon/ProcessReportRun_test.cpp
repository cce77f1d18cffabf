// "-ProcCollect" and "-ProcSave" run end to end in a sandboxed installation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <pugixml.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "ProcessSamples.h"
#include "platform/Paths.h"

namespace brim::test {
namespace {

namespace fs = std::filesystem;

// One "prs" element as "cpu mem name".
using Entry = std::string;

struct Report {
  std::string text;
  std::vector<std::string> childNames;
  std::string regid, ftime, ttime;
  std::vector<Entry> entries;
};

Report parseReport(const std::string& text) {
  Report report{text, {}, {}, {}, {}, {}};
  pugi::xml_document doc;
  if (!doc.load_string(text.c_str())) return report;
  const pugi::xml_node root = doc.document_element();
  if (std::string(root.name()) != "wpmacpradatahr") return report;
  for (const pugi::xml_node child : root.children()) {
    report.childNames.emplace_back(child.name());
    if (std::string(child.name()) == "prs") {
      report.entries.push_back(std::string(child.attribute("cpu").value()) + " " + child.attribute("mem").value() +
                               " " + child.attribute("name").value());
    }
  }
  report.regid = root.child_value("regid");
  report.ftime = root.child_value("ftime");
  report.ttime = root.child_value("ttime");
  return report;
}

std::vector<Entry> sorted(std::vector<Entry> entries) {
  std::sort(entries.begin(), entries.end());
  return entries;
}

// The memory share of each entry.
std::vector<std::string> memoryShares(const std::vector<Entry>& entries) {
  std::vector<std::string> out;
  for (const auto& entry : entries) {
    const size_t first = entry.find(' ') + 1;
    out.push_back(entry.substr(first, entry.find(' ', first) - first));
  }
  return out;
}

std::vector<std::string> repeated(std::initializer_list<std::pair<const char*, int>> runs) {
  std::vector<std::string> out;
  for (const auto& [value, times] : runs) out.insert(out.end(), times, value);
  return out;
}

class ProcessReportRun : public ::testing::Test {
 protected:
  void SetUp() override { prepare(sandbox_); }

  static void prepare(const Sandbox& sandbox) {
    sandbox.writeBuildDate();
    sandbox.writeSettings(4711);
    // The hardware profile names the model, so that the day log of reports has its directory.
    sandbox.replayProfilerFrom(fixture("macos/mac-a"));
  }
  static std::string database(const Sandbox& sandbox) { return sandbox.root() + std::string(Paths::kProcsDatabase); }

  // The data-post files of process reports.
  static std::vector<std::string> reportFiles(const Sandbox& sandbox) {
    std::vector<std::string> names;
    for (const auto& name : sandbox.listDir("datapost")) {
      if (name.starts_with("wpmacpradatahr_")) names.push_back(name);
    }
    return names;
  }

  // The day logs of process reports under the model's directory.
  std::vector<fs::path> dayLogs() const {
    std::vector<fs::path> logs;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(sandbox_.path("data/MacBook Pro"), ec)) {
      if (entry.is_regular_file()) logs.push_back(entry.path());
    }
    return logs;
  }

  Sandbox sandbox_;
};

TEST_F(ProcessReportRun, CollectThenSaveReportsBothSamplesAndEmptiesTheStore) {
  BRIM_REQUIRE_ROOT();
  replayBusyMachine(sandbox_);

  ASSERT_EQ(sandbox_.run({"-ProcCollect"}).exitStatus, 0);
  const auto firstSample = storedRows(database(sandbox_));
  ASSERT_EQ(firstSample.size(), 40u);
  const std::string firstSampleTime = firstSample.front().substr(firstSample.front().rfind('|') + 1);

  const RunResult save = sandbox_.run({"-ProcSave"});
  EXPECT_EQ(save.exitStatus, 0) << save.output;
  const auto files = reportFiles(sandbox_);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files.front(), std::regex("wpmacpradatahr_4711_[0-9]{14}")));
  const Report report = parseReport(readFile(sandbox_.path("datapost/" + files.front())));

  std::vector<std::string> expectedChildren = {"regid", "ftime", "ttime"};
  expectedChildren.insert(expectedChildren.end(), 40, "prs");
  EXPECT_EQ(report.childNames, expectedChildren);
  EXPECT_EQ(report.regid, "4711");
  EXPECT_EQ(report.ftime, firstSampleTime);
  EXPECT_TRUE(std::regex_match(report.ttime, std::regex("[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}")));

  // 80 rows: the stored sample and the report job's own, so every entry stands at least twice.
  const std::vector<Entry> byProcessor(report.entries.begin(), report.entries.begin() + 20);
  EXPECT_EQ(byProcessor, repeated({{"54.80 0.00 [cc1plus]", 2},
                                   {"53.50 0.60 cc1plus", 2},
                                   {"53.10 0.60 cc1plus", 2},
                                   {"50.00 0.00 as", 2},
                                   {"47.30 0.30 cc1plus", 2},
                                   {"47.10 0.50 cc1plus", 2},
                                   {"46.80 0.50 cc1plus", 2},
                                   {"46.70 0.30 cc1plus", 2},
                                   {"9.70 1.80 Data", 4}}));

  // Rows of equal memory share come in the database's order; only the last four
  // places are drawn from the many processes without a memory share.
  const std::vector<Entry> byMemory(report.entries.begin() + 20, report.entries.end());
  EXPECT_EQ(memoryShares(byMemory), repeated({{"1.80", 4}, {"0.60", 4}, {"0.50", 4}, {"0.30", 4}, {"0.00", 4}}));
  EXPECT_EQ(sorted({byMemory.begin(), byMemory.begin() + 16}), sorted(repeated({{"9.70 1.80 Data", 4},
                                                                                {"53.50 0.60 cc1plus", 2},
                                                                                {"53.10 0.60 cc1plus", 2},
                                                                                {"47.10 0.50 cc1plus", 2},
                                                                                {"46.80 0.50 cc1plus", 2},
                                                                                {"47.30 0.30 cc1plus", 2},
                                                                                {"46.70 0.30 cc1plus", 2}})));

  const auto logs = dayLogs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_TRUE(std::regex_match(logs.front().filename().string(), std::regex("PRS_[0-9]{8}\\.log")));
  EXPECT_EQ(logs.front().parent_path().filename(), "PRS");
  EXPECT_EQ(readFile(logs.front()), report.text + "\n");

  EXPECT_FALSE(fs::exists(database(sandbox_)));
  ASSERT_EQ(sandbox_.run({"-ProcCollect"}).exitStatus, 0);
  EXPECT_EQ(storedRows(database(sandbox_)).size(), 40u);
}

// The time stamp the report job's own sampler took, from its log line.
std::string jobStartTime(const std::string& output) {
  std::smatch match;
  const std::regex line("-\\[CollectProcessesData init\\]:datestring:([^\n]*)");
  return std::regex_search(output, match, line) ? match[1].str() : std::string("(no datestring line)");
}

TEST_F(ProcessReportRun, SaveWithAStoreItCannotUseStillWritesAReport) {
  BRIM_REQUIRE_ROOT();
  // A store that stays behind is said so by every report run.
  const struct {
    const char* situation;
    void (*make)(const std::string& databasePath);
    const char* logged;
  } stores[] = {
      {"not SQLite at all", [](const std::string& path) { writeFile(path, readFile(procmonFixture("ps_by_mem.txt"))); },
       ""},
      {"that cannot be opened", [](const std::string& path) { fs::create_directories(path); }, "cannot remove "},
      {"a link to a store elsewhere",
       [](const std::string& path) {
         fs::copy_file(procmonFixture("ps_by_cpu.txt"), path + ".elsewhere");
         fs::create_symlink(path + ".elsewhere", path);
       },
       "refused "},
  };
  for (const auto& store : stores) {
    SCOPED_TRACE(store.situation);
    Sandbox sandbox;
    prepare(sandbox);
    replayBusyMachine(sandbox);
    store.make(database(sandbox));

    const RunResult save = sandbox.run({"-ProcSave"});
    EXPECT_EQ(save.exitStatus, 0) << save.output;
    const auto files = reportFiles(sandbox);
    ASSERT_EQ(files.size(), 1u);
    const Report report = parseReport(readFile(sandbox.path("datapost/" + files.front())));
    EXPECT_EQ(report.childNames, (std::vector<std::string>{"regid", "ftime", "ttime"}));
    EXPECT_EQ(report.ftime, jobStartTime(save.output));
    EXPECT_THAT(save.output, ::testing::HasSubstr(store.logged + database(sandbox)));
    if (fs::exists(database(sandbox) + ".elsewhere")) {
      EXPECT_EQ(readFile(database(sandbox) + ".elsewhere"), readFile(procmonFixture("ps_by_cpu.txt")));
    }
  }
}

// The command word of each line of a process listing, cut to its last path component.
std::set<std::string> runningNames() {
  std::set<std::string> names;
  std::istringstream listing(runShell("ps -eo command").output);
  for (std::string line; std::getline(listing, line);) {
    const std::string word = line.substr(0, line.find(' '));
    names.insert(word.substr(word.rfind('/') + 1));
  }
  return names;
}

TEST_F(ProcessReportRun, SaveOnThisMachinesOwnPsNamesItsProcesses) {
  BRIM_REQUIRE_ROOT();
  const RunResult save = sandbox_.run({"-ProcSave"});
  EXPECT_EQ(save.exitStatus, 0) << save.output;
  const auto files = reportFiles(sandbox_);
  ASSERT_EQ(files.size(), 1u);
  const Report report = parseReport(readFile(sandbox_.path("datapost/" + files.front())));
  ASSERT_FALSE(report.entries.empty()) << report.text;

  const std::set<std::string> running = runningNames();
  size_t named = 0;
  for (const auto& entry : report.entries) {
    EXPECT_TRUE(std::regex_match(entry, std::regex("[0-9]+\\.[0-9]{2} [0-9]+\\.[0-9]{2} .+"))) << entry;
    if (running.count(entry.substr(entry.find(' ', entry.find(' ') + 1) + 1))) ++named;
  }
  // Short-lived commands may be gone by now; the machine's long-running processes are not.
  EXPECT_GT(named, 0u) << report.text;
}

}  // namespace
}  // namespace brim::test
