#pragma once
// What the process-monitoring tests share: a replaying `ps`, the sample store
// read back row by row, and the time of day the in-process tests pin.
#include <sqlite3.h>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "procmon/CollectProcessesData.h"
#include "support/Sandbox.h"

namespace brim::test {

inline std::string procmonFixture(const std::string& name) { return fixture("procmon/" + name); }

// Puts a `ps` first on PATH that prints a recorded listing: the processor
// ranking when asked to sort by processor share (Linux or macOS option), the
// memory ranking otherwise.
inline void replayPsFrom(const Sandbox& sandbox, const std::string& byProcessor, const std::string& byMemory) {
  sandbox.writeExecutable(sandbox.fakeBinDir() + "/ps",
                          "#!/bin/sh\n"
                          "for arg in \"$@\"; do\n"
                          "  case \"$arg\" in --sort=-pcpu|-r) exec cat '" +
                              byProcessor +
                              "' ;; esac\n"
                              "done\n"
                              "exec cat '" +
                              byMemory + "'\n");
}

// A machine with more than twenty processes, recorded while it compiled; one
// command path holds a blank.
inline void replayBusyMachine(const Sandbox& sandbox) {
  replayPsFrom(sandbox, procmonFixture("ps_by_cpu.txt"), procmonFixture("ps_by_mem.txt"));
}

// A machine with five processes: each listing keeps its heading line.
inline void replaySmallMachine(const Sandbox& sandbox) {
  replayPsFrom(sandbox, procmonFixture("ps_small_by_cpu.txt"), procmonFixture("ps_small_by_mem.txt"));
}

// The rows of the sample table in the order stored, as
// "CPU_PERC|MEM_PERC|APPLICATION|DATE"; empty when the store cannot be read.
inline std::vector<std::string> storedRows(const std::string& database) {
  std::vector<std::string> rows;
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(database.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  SqliteDatabase db(raw);
  if (opened != SQLITE_OK) return rows;
  sqlite3_stmt* query = nullptr;
  sqlite3_prepare_v2(db.get(), "SELECT CPU_PERC,MEM_PERC,APPLICATION,DATE FROM PROCSDATA ORDER BY rowid", -1, &query,
                     nullptr);
  SqliteStatement statement(query);
  while (statement && sqlite3_step(statement.get()) == SQLITE_ROW) {
    std::string row;
    for (int column = 0; column < 4; ++column) {
      const unsigned char* text = sqlite3_column_text(statement.get(), column);
      row += (column ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    rows.push_back(row);
  }
  return rows;
}

// A moment given in the system time zone.
inline std::chrono::system_clock::time_point localTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&parts));
}

}  // namespace brim::test
