#pragma once
// The process sampler and its store: each sample lists the twenty processes
// with the highest processor share and the twenty with the highest memory
// share and appends them, stamped with the sample's time, to a small SQLite
// database; the report reads the top entries of all samples back from it.
#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "envelope/XMLTree.h"
#include "platform/DateTime.h"
#include "platform/FileOperations.h"
#include "platform/Signature.h"
#include "platform/TrustedPath.h"

namespace brim {

struct SqliteClose {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct SqliteFinalize {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteDatabase = std::unique_ptr<sqlite3, SqliteClose>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalize>;

class CollectProcessesData {
 public:
  // Index-aligned lists: processor share, memory share, command word.
  struct ProcessLists {
    std::vector<std::string> PERC_CPU;
    std::vector<std::string> PERC_MEM;
    std::vector<std::string> APPLICATION;

    // As the platform prints a dictionary of the three lists.
    std::string description() const;
  };

  CollectProcessesData();  // init: stamps the instance and makes the sample work directory

  // Takes one sample and appends it to the database.
  void CollectTopCpunMemProcs();
  // Appends one row per index, stamped with datestring.
  void CreatnInsttoProcsDB(const ProcessLists& lists);
  // Deletes that file from the agent's temporary directory.
  static void deleteProcDBTable(const std::string& fileName);

  // Reads both rankings into TopProcDictionary; datestring becomes the oldest sample's time.
  void RetTopCpunMemPrsfrDB();
  XMLTree CreateProcXMLTree();
  // The current result row's column of stmt.
  double getDouble(int column);
  std::optional<std::string> getText(int column);

  // The sample database file as this process sees it.
  static std::string databasePath();

  std::optional<FileOperations> fileOprator;
  std::string ProcDataDir;
  ProcessLists ProcDataDictionary;
  ProcessLists TopProcDictionary;
  SqliteStatement stmt;
  DateTime::TimePoint startTime;
  std::string datestring;

 private:
  FileOperations& sampleReader();
  // The store's folder, held open, when the store may be opened; logged when not.
  static std::optional<TrustedFolder> storeUsable(const Sig& sig);
  SqliteDatabase openDatabase(const Sig& sig) const;
  void appendRanking(sqlite3* db, std::string_view query, ProcessLists& lists);
};

}  // namespace brim
