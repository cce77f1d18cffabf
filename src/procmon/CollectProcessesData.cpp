#include "procmon/CollectProcessesData.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "config/GlobalPreferences.h"
#include "config/RunFolder.h"
#include "envelope/DirectReports.h"
#include "platform/CustomLogger.h"
#include "platform/Description.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Plist.h"
#include "platform/ProcessSampleCommands.h"
#include "platform/ShellCommand.h"
#include "platform/Text.h"
#include "platform/TrustedPath.h"

namespace brim {
namespace {

constexpr std::string_view kClass = "CollectProcessesData";
constexpr auto kInit = Sig::instance(kClass, "init");
constexpr auto kCollect = Sig::instance(kClass, "CollectTopCpunMemProcs");
constexpr auto kInsert = Sig::instance(kClass, "CreatnInsttoProcsDB:");
constexpr auto kDelete = Sig::instance(kClass, "deleteProcDBTable:");
constexpr auto kRanking = Sig::instance(kClass, "RetTopCpunMemPrsfrDB");
constexpr auto kTree = Sig::instance(kClass, "CreateProcXMLTree");

constexpr std::string_view kSampleFile = "CPUProcInfo";

constexpr std::string_view kSchema =
    "CREATE TABLE IF NOT EXISTS PROCSDATA (CPU_PERC DOUBLE,MEM_PERC DOUBLE,APPLICATION TEXT,DATE TEXT)";
constexpr std::string_view kInsertRow = "insert into PROCSDATA(CPU_PERC,MEM_PERC,APPLICATION,DATE) Values(?,?,?,?)";
// A report ranks at most kMaxRows stored rows: a day of samples every minute
// is under 60,000, and a store grown past that (runs that never reported, or
// rows planted in it) must not hold the report for the time a sort of it takes.
// A report ranks at most kMaxRows stored rows (the queries below hold the same
// number): a day of samples is a few thousand, and a store grown past the bound
// (runs that never reported, rows planted in it) must not hold the report for
// as long as sorting all of it takes.
constexpr int kMaxRows = 100000;
constexpr std::string_view kByProcessor =
    "SELECT * FROM (SELECT * FROM PROCSDATA LIMIT 100000) ORDER BY CPU_PERC DESC LIMIT 20";
constexpr std::string_view kByMemory =
    "SELECT * FROM (SELECT * FROM PROCSDATA LIMIT 100000) ORDER BY MEM_PERC DESC LIMIT 20";
constexpr std::string_view kRowsUpToBound = "SELECT count(*) FROM (SELECT 1 FROM PROCSDATA LIMIT 100001)";
constexpr std::string_view kOldestDate = "SELECT DATE FROM PROCSDATA LIMIT 1";
constexpr int kBusyTimeoutMs = 10000;

// The files SQLite keeps beside a store. A journal left beside it is rolled
// back into it when it is opened, and deletes the file it names as its super
// journal: only one root wrote can be taken.
constexpr std::string_view kStoreCompanions[] = {"-journal", "-wal", "-shm"};
constexpr mode_t kStoreMode = 0600;

// Fire and forget: the shell reports its own errors, the status is not examined.
void runShell(const std::string& command) { ShellCommand::run(command, ShellCommand::Limit::Other); }

// The pieces between single blanks, without the empty ones that runs of
// blanks and the right-aligned numbers of `ps` leave.
std::vector<std::string_view> piecesOf(std::string_view line) { return nonEmptyPieces(line, ' '); }

std::string twoDecimals(double share) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", share);
  return text;
}

// "/usr/sbin/cfprefsd" -> "cfprefsd"; a word without "/" stays whole.
std::string lastPathComponent(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

SqliteStatement prepare(sqlite3* db, std::string_view sql) {
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
  return SqliteStatement(raw);
}

void bindText(sqlite3_stmt* statement, int index, const std::string& text) {
  sqlite3_bind_text(statement, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

}  // namespace

std::string CollectProcessesData::ProcessLists::description() const {
  Plist dict(plist_new_dict());
  const auto add = [&dict](const char* key, const std::vector<std::string>& list) {
    plist_t array = plist_new_array();
    for (const auto& entry : list) plist_array_append_item(array, plist_new_string(entry.c_str()));
    plist_dict_set_item(dict.get(), key, array);
  };
  // In key order, as the platform prints a dictionary.
  add("APPLICATION", APPLICATION);
  add("PERC_CPU", PERC_CPU);
  add("PERC_MEM", PERC_MEM);
  return describe(dict.get());
}

std::string CollectProcessesData::databasePath() { return Paths::fixed(Paths::kProcsDatabase); }

CollectProcessesData::CollectProcessesData() {
  logAt(kInit, "Collect Processes Data");
  startTime = DateTime::now();
  datestring = DateTime::dateStringOf(startTime, kReportTimeFormat);
  logAt(kInit, "datestring:" + datestring);

  // An absolute install path gives a doubled leading slash, which the file system takes as one.
  ProcDataDir = "/" + RunFolder::path() + "/ProcInfo";
  // No parents: without the temporary directory the sample finds no file and stores nothing.
  if (!FileSystem::makeDirectory(ProcDataDir) && !FileSystem::exists(ProcDataDir)) {
    logAt(kInit, "cannot create directory " + ProcDataDir);
  }
}

FileOperations& CollectProcessesData::sampleReader() {
  if (!fileOprator) {
    fileOprator.emplace();
    fileOprator->dataStorageDir = ProcDataDir;
  }
  return *fileOprator;
}

void CollectProcessesData::CollectTopCpunMemProcs() {
  runShell(ProcessSampleCommands::byProcessorShare(ProcDataDir));
  runShell(ProcessSampleCommands::byMemoryShare(ProcDataDir));

  ProcessLists sample;
  for (const std::string& line : sampleReader().getDataFromFileWithName(std::string(kSampleFile))) {
    const auto pieces = piecesOf(line);
    if (pieces.size() < 3) {
      logAt(kCollect, "skipped line:" + line);
      continue;
    }
    // The command's arguments, and the rest of a path that holds a blank, are dropped.
    sample.PERC_CPU.emplace_back(pieces[0]);
    sample.PERC_MEM.emplace_back(pieces[1]);
    sample.APPLICATION.emplace_back(pieces[2]);
  }
  logAt(kCollect, "CPUPerc:" + describe(sample.PERC_CPU));
  logAt(kCollect, "MemPerc:" + describe(sample.PERC_MEM));
  logAt(kCollect, "Applns:" + describe(sample.APPLICATION));

  ProcDataDictionary = std::move(sample);
  CreatnInsttoProcsDB(ProcDataDictionary);
  FileSystem::removeTree(ProcDataDir);
}

// Whether the store may be opened: its folder is root's alone, no file
// beside it was put there by anyone else, and it is root's own file with one
// name, readable by root alone (made so when it is not). Logged when not.
std::optional<TrustedFolder> CollectProcessesData::storeUsable(const Sig& sig) {
  const std::string path = databasePath();
  const std::string name = path.substr(path.rfind('/') + 1);
  // The one place that decides on the store's folder; held open, so that what
  // is checked below is what lies in the folder checked.
  std::string why;
  std::optional<TrustedFolder> folder = TrustedFolder::open(path.substr(0, path.rfind('/')), why);
  if (!folder) {
    logAt(sig, "process store not used: " + why);
    return std::nullopt;
  }
  for (const std::string_view companion : kStoreCompanions) {
    if (!FileSystem::isOwnFileOrMissing(*folder, name + std::string(companion), why)) {
      logAt(sig, "process store not used: " + why);
      return std::nullopt;
    }
  }
  const FileSystem::Create store = FileSystem::createFile(*folder, name, why, "", kStoreMode);
  if (store == FileSystem::Create::Made) return folder;
  const std::optional<mode_t> was =
      store == FileSystem::Create::Exists ? FileSystem::setPermissions(*folder, name, kStoreMode, why) : std::nullopt;
  if (!was) {
    logAt(sig, "process store not used: " + why);
    return std::nullopt;
  }
  if (*was != kStoreMode) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(*was));
    logAt(sig, "process store " + path + " had mode " + mode + ": made 600");
  }
  return folder;
}

namespace {

// Whether the store's path still leads, by trusted folders and no link, to the
// folder checked. SQLite opens by path, and a path under /dev/fd is not the
// same on every system; what remains between this test and the open is a
// swap in a folder that root alone can write to.
bool storeFolderUnchanged(const Sig& sig, const TrustedFolder& checked) {
  std::string why;
  const std::optional<TrustedFolder> now = TrustedFolder::open(checked.path(), why);
  struct stat held {};
  struct stat found {};
  if (now && ::fstat(checked.fd(), &held) == 0 && ::fstat(now->fd(), &found) == 0 && held.st_dev == found.st_dev &&
      held.st_ino == found.st_ino) {
    return true;
  }
  logAt(sig, "process store not used: " + checked.path() + " was replaced after it was checked" +
                 (why.empty() ? "" : ": " + why));
  return false;
}

}  // namespace

SqliteDatabase CollectProcessesData::openDatabase(const Sig& sig) const {
  const std::optional<TrustedFolder> folder = storeUsable(sig);
  if (!folder || !storeFolderUnchanged(sig, *folder)) {
    logAt(sig, "Failed to open database");
    return SqliteDatabase(nullptr);
  }
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(databasePath().c_str(), &raw,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW, nullptr);
  logAt(sig, opened == SQLITE_OK ? "Database opened successfully" : "Failed to open database");
  // Runs that sample at once wait for each other's transaction.
  if (raw) sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  // The file outlives the run: whatever was planted in it (triggers, views
  // calling functions, a schema written by hand) does nothing here. Its
  // journal stays in memory, so that no journal file is left beside it for
  // anyone to plant or take.
  if (raw && opened == SQLITE_OK) {
    const bool defensive = sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) == SQLITE_OK &&
                           sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr) == SQLITE_OK &&
                           sqlite3_db_config(raw, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr) == SQLITE_OK;
    if (!defensive) {
      logAt(sig, std::string("Failed to open database defensively: ") + sqlite3_errmsg(raw));
      sqlite3_close(raw);
      return SqliteDatabase(nullptr);
    }
    // A file that is no store fails here, and again with each statement.
    if (sqlite3_exec(raw, "PRAGMA journal_mode=MEMORY", nullptr, nullptr, nullptr) != SQLITE_OK) {
      logAt(sig, std::string("journal not kept in memory: ") + sqlite3_errmsg(raw));
    }
  }
  // A connection that failed to open is kept: every statement on it then
  // fails with the reason of the failed open, which is what gets logged.
  return SqliteDatabase(raw);
}

void CollectProcessesData::CreatnInsttoProcsDB(const ProcessLists& lists) {
  logAt(kInsert, "DB path:" + databasePath());
  logAt(kInsert, lists.description());
  SqliteDatabase db = openDatabase(kInsert);
  if (!db) return;  // no connection object at all: out of memory

  if (sqlite3_exec(db.get(), std::string(kSchema).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) {
    logAt(kInsert, "TABLE CREATION SUCCESSFUL");
  }
  const size_t rows = std::min({lists.PERC_CPU.size(), lists.PERC_MEM.size(), lists.APPLICATION.size()});
  // One sample, one transaction: a concurrent sample waits for it instead of failing its inserts.
  const bool inTransaction = sqlite3_exec(db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!inTransaction) logAt(kInsert, sqlite3_errmsg(db.get()));
  for (size_t i = 0; i < rows; ++i) {
    stmt = prepare(db.get(), kInsertRow);
    if (!stmt) {
      logAt(kInsert, sqlite3_errmsg(db.get()));
      continue;
    }
    logAt(kInsert, "Stmt prep success");
    // Bound as text: the columns' numeric affinity stores the shares as numbers.
    bindText(stmt.get(), 1, lists.PERC_CPU[i]);
    bindText(stmt.get(), 2, lists.PERC_MEM[i]);
    bindText(stmt.get(), 3, lists.APPLICATION[i]);
    bindText(stmt.get(), 4, datestring);
    if (sqlite3_step(stmt.get()) == SQLITE_DONE) logAt(kInsert, "INSERT SUCCESS");
  }
  stmt.reset();
  if (inTransaction && sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    logAt(kInsert, sqlite3_errmsg(db.get()));
  }
}

void CollectProcessesData::deleteProcDBTable(const std::string& fileName) {
  logAt(kDelete, "Inside deleteProcDBTable");
  // A store that stays would be reported again with the next report: said on every run it happens.
  std::string why;
  if (!FileSystem::removeFile(Paths::fixed(Paths::kTempDir) + "/" + fileName, why)) {
    logAt(kDelete, why);
  }
}

double CollectProcessesData::getDouble(int column) { return sqlite3_column_double(stmt.get(), column); }

std::optional<std::string> CollectProcessesData::getText(int column) {
  const unsigned char* text = sqlite3_column_text(stmt.get(), column);
  if (!text) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(stmt.get(), column)));
}

void CollectProcessesData::appendRanking(sqlite3* db, std::string_view query, ProcessLists& lists) {
  stmt = prepare(db, query);
  if (!stmt) {
    logAt(kRanking, sqlite3_errmsg(db));
    return;
  }
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    const double cpu = getDouble(0);
    const double mem = getDouble(1);
    const std::string application = orNull(getText(2));
    logAt(kRanking, "cpu_perc:" + twoDecimals(cpu));
    logAt(kRanking, "mem_perc:" + twoDecimals(mem));
    logAt(kRanking, "appln:" + application);
    lists.PERC_CPU.push_back(twoDecimals(cpu));
    lists.PERC_MEM.push_back(twoDecimals(mem));
    lists.APPLICATION.push_back(application);
  }
  stmt.reset();
}

void CollectProcessesData::RetTopCpunMemPrsfrDB() {
  logAt(kRanking, "Inside RetTopCpunMemPrsfrDB");
  logAt(kRanking, "DB path:" + databasePath());
  SqliteDatabase db = openDatabase(kRanking);

  ProcessLists ranking;
  if (db) {
    stmt = prepare(db.get(), kRowsUpToBound);
    if (stmt && sqlite3_step(stmt.get()) == SQLITE_ROW && getDouble(0) > kMaxRows) {
      logAt(kRanking, "The store holds more than " + std::to_string(kMaxRows) + " rows; the report ranks the first " +
                          std::to_string(kMaxRows));
    }
    stmt.reset();
    logAt(kRanking, "Sort based on CPU_PERC");
    appendRanking(db.get(), kByProcessor, ranking);
    logAt(kRanking, "Sort based on MEM_PERC");
    appendRanking(db.get(), kByMemory, ranking);
  }
  TopProcDictionary = std::move(ranking);
  logAt(kRanking, TopProcDictionary.description());

  if (!db) return;
  stmt = prepare(db.get(), kOldestDate);
  // Without a row (or with a row without a date) the report starts at this job's own start time.
  if (stmt && sqlite3_step(stmt.get()) == SQLITE_ROW) {
    if (auto oldest = getText(0)) datestring = *oldest;
  }
  stmt.reset();
}

XMLTree CollectProcessesData::CreateProcXMLTree() {
  logAt(kTree, "prc xmltree");
  XMLTree report = reportTree<kProcessReport>(
      element<"regid">(std::to_string(GlobalPreferences::getSharedInstance().machineInfo().dcRegId())),
      element<"ftime">(datestring), element<"ttime">(DateTime::dateStringOf(DateTime::now(), kReportTimeFormat)));

  const ProcessLists& top = TopProcDictionary;
  for (size_t i = 0; i < top.PERC_CPU.size() && i < top.PERC_MEM.size() && i < top.APPLICATION.size(); ++i) {
    const XMLTree process =
        entryTree<kProcessReport>(attribute<"name">(lastPathComponent(top.APPLICATION[i])),
                                  attribute<"mem">(top.PERC_MEM[i]), attribute<"cpu">(top.PERC_CPU[i]));
    logAt(kTree, "prsxmltree=" + process.XMLString());
    report.addChildTree(process);
  }
  logAt(kTree, "assetDataXML=" + report.XMLString());
  return report;
}

}  // namespace brim
