// SQLite and zlib, called under their own names by the process store and the
// compression envelope, and opened through LateLibrary by the first call: only
// the process jobs use SQLite and only the posting jobs compress. The tool is
// not linked against either: each function it calls is defined here, under the
// library's own name and type, and forwards to the library's definition. When
// the library cannot be loaded, its functions fail as the library reports
// failures.
#include <sqlite3.h>
#include <zlib.h>

#include <cstdarg>

#include "platform/LateLibrary.h"

namespace brim {
namespace {

constexpr const char* kSqliteFunctions[] = {
    "sqlite3_open_v2",     "sqlite3_db_config",    "sqlite3_busy_timeout", "sqlite3_close", "sqlite3_exec",
    "sqlite3_errmsg",      "sqlite3_prepare_v2",   "sqlite3_bind_text",    "sqlite3_step",  "sqlite3_column_double",
    "sqlite3_column_text", "sqlite3_column_bytes", "sqlite3_finalize",
};
constexpr LateLibrary::Declaration kSqlite{LateLibrary::Name::kSqlite, "libsqlite3",
                                           "process samples and their report fail", kSqliteFunctions};

constexpr const char* kZlibFunctions[] = {"deflateInit2_", "deflate", "deflateEnd",
                                          "inflateInit2_", "inflate", "inflateEnd"};
constexpr LateLibrary::Declaration kZlib{LateLibrary::Name::kZlib, "zlib", "compression fails", kZlibFunctions};

template <class Function>
Function resolved(const LateLibrary::Declaration& library, const char* name) {
  const LateLibrary* loaded = LateLibrary::shared(library);
  return loaded ? loaded->function<Function>(name) : nullptr;
}

constexpr const char* kNoSqlite = "libsqlite3 could not be loaded";

}  // namespace
}  // namespace brim

// Each forwarder resolves its function on its first call. parameters and
// arguments are parenthesised lists, spliced in as they are.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define BRIM_FORWARD(library, failed, result, name, parameters, arguments)          \
  extern "C" result name parameters {                                               \
    static const auto real = brim::resolved<decltype(&name)>(brim::library, #name); \
    if (!real) return failed;                                                       \
    return real arguments;                                                          \
  }
// NOLINTEND(bugprone-macro-parentheses)

// SQLite: the process sample store.
extern "C" int sqlite3_open_v2(const char* fileName, sqlite3** db, int flags, const char* vfs) {
  static const auto real = brim::resolved<decltype(&sqlite3_open_v2)>(brim::kSqlite, "sqlite3_open_v2");
  if (!real) {
    *db = nullptr;
    return SQLITE_CANTOPEN;
  }
  return real(fileName, db, flags, vfs);
}
// Variadic: every option the tool sets takes an int and an int* for the
// setting then in force, and is passed on as such.
extern "C" int sqlite3_db_config(sqlite3* db, int option, ...) {
  static const auto real = brim::resolved<decltype(&sqlite3_db_config)>(brim::kSqlite, "sqlite3_db_config");
  if (!real) return SQLITE_ERROR;
  va_list arguments;
  va_start(arguments, option);
  const int value = va_arg(arguments, int);
  int* inForce = va_arg(arguments, int*);
  va_end(arguments);
  return real(db, option, value, inForce);
}
BRIM_FORWARD(kSqlite, SQLITE_ERROR, int, sqlite3_busy_timeout, (sqlite3 * db, int milliseconds), (db, milliseconds))
BRIM_FORWARD(kSqlite, SQLITE_OK, int, sqlite3_close, (sqlite3 * db), (db))
BRIM_FORWARD(kSqlite, SQLITE_ERROR, int, sqlite3_exec,
             (sqlite3 * db, const char* sql, int (*callback)(void*, int, char**, char**), void* context, char** error),
             (db, sql, callback, context, error))
BRIM_FORWARD(kSqlite, brim::kNoSqlite, const char*, sqlite3_errmsg, (sqlite3 * db), (db))
BRIM_FORWARD(kSqlite, SQLITE_ERROR, int, sqlite3_prepare_v2,
             (sqlite3 * db, const char* sql, int bytes, sqlite3_stmt** statement, const char** tail),
             (db, sql, bytes, statement, tail))
BRIM_FORWARD(kSqlite, SQLITE_ERROR, int, sqlite3_bind_text,
             (sqlite3_stmt * statement, int index, const char* text, int bytes, void (*destructor)(void*)),
             (statement, index, text, bytes, destructor))
BRIM_FORWARD(kSqlite, SQLITE_ERROR, int, sqlite3_step, (sqlite3_stmt * statement), (statement))
BRIM_FORWARD(kSqlite, 0.0, double, sqlite3_column_double, (sqlite3_stmt * statement, int column), (statement, column))
BRIM_FORWARD(kSqlite, nullptr, const unsigned char*, sqlite3_column_text, (sqlite3_stmt * statement, int column),
             (statement, column))
BRIM_FORWARD(kSqlite, 0, int, sqlite3_column_bytes, (sqlite3_stmt * statement, int column), (statement, column))
BRIM_FORWARD(kSqlite, SQLITE_OK, int, sqlite3_finalize, (sqlite3_stmt * statement), (statement))

// zlib: the compression envelope.
BRIM_FORWARD(kZlib, Z_VERSION_ERROR, int, deflateInit2_,
             (z_streamp stream, int level, int method, int windowBits, int memLevel, int strategy, const char* version,
              int streamSize),
             (stream, level, method, windowBits, memLevel, strategy, version, streamSize))
BRIM_FORWARD(kZlib, Z_STREAM_ERROR, int, deflate, (z_streamp stream, int flush), (stream, flush))
BRIM_FORWARD(kZlib, Z_STREAM_ERROR, int, deflateEnd, (z_streamp stream), (stream))
BRIM_FORWARD(kZlib, Z_VERSION_ERROR, int, inflateInit2_,
             (z_streamp stream, int windowBits, const char* version, int streamSize),
             (stream, windowBits, version, streamSize))
BRIM_FORWARD(kZlib, Z_STREAM_ERROR, int, inflate, (z_streamp stream, int flush), (stream, flush))
BRIM_FORWARD(kZlib, Z_STREAM_ERROR, int, inflateEnd, (z_streamp stream), (stream))
