// SQLite, zlib and OpenSSL's libcrypto, opened when a job first calls one of
// their functions rather than when the process starts: only the process jobs
// use SQLite, only the posting jobs compress, and only encrypted settings and
// posts need libcrypto, while mapping and relocating the three costs every job
// about a third of its memory. The tool is not linked against them: each
// function it calls is defined here, under the library's own name and type, and
// forwards to the library's definition. A library that cannot be opened is
// logged once, and its functions then fail as the library reports failures.
#include <dlfcn.h>
#include <openssl/evp.h>
#include <sqlite3.h>
#include <zlib.h>

#include <cstdarg>

#include <mutex>
#include <string>

#include "platform/CustomLogger.h"
#include "platform/Signature.h"

namespace brim {
namespace {

class OnDemandLibrary {
 public:
  explicit constexpr OnDemandLibrary(const char* fileName) : fileName_(fileName) {}

  // The library's own definition of name; null when the library or the name is missing.
  void* symbol(const char* name) {
    std::call_once(opened_, [this] {
      handle_ = ::dlopen(fileName_, RTLD_NOW | RTLD_LOCAL);
      if (!handle_) {
        const char* error = ::dlerror();
        logAt(Sig::function("OnDemandLibrary"),
              std::string("cannot load ") + fileName_ + ", its functions fail: " + (error ? error : "unknown"));
      }
    });
    if (!handle_) return nullptr;
    void* found = ::dlsym(handle_, name);
    if (!found) logAt(Sig::function("OnDemandLibrary"), std::string(fileName_) + " has no " + name);
    return found;
  }

 private:
  const char* fileName_;
  std::once_flag opened_;
  void* handle_ = nullptr;
};

OnDemandLibrary sqlite("libsqlite3.so.0");
OnDemandLibrary zlib("libz.so.1");
OnDemandLibrary crypto("libcrypto.so.3");

template <class Function>
Function resolved(OnDemandLibrary& library, const char* name) {
  return reinterpret_cast<Function>(library.symbol(name));
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
#define BRIM_FORWARD_VOID(library, name, parameters, arguments)                     \
  extern "C" void name parameters {                                                 \
    static const auto real = brim::resolved<decltype(&name)>(brim::library, #name); \
    if (real) real arguments;                                                       \
  }
// NOLINTEND(bugprone-macro-parentheses)

// SQLite: the process sample store.
extern "C" int sqlite3_open_v2(const char* fileName, sqlite3** db, int flags, const char* vfs) {
  static const auto real = brim::resolved<decltype(&sqlite3_open_v2)>(brim::sqlite, "sqlite3_open_v2");
  if (!real) {
    *db = nullptr;
    return SQLITE_CANTOPEN;
  }
  return real(fileName, db, flags, vfs);
}
// Variadic: every option the tool sets takes an int and an int* for the
// setting then in force, and is passed on as such.
extern "C" int sqlite3_db_config(sqlite3* db, int option, ...) {
  static const auto real = brim::resolved<decltype(&sqlite3_db_config)>(brim::sqlite, "sqlite3_db_config");
  if (!real) return SQLITE_ERROR;
  va_list arguments;
  va_start(arguments, option);
  const int value = va_arg(arguments, int);
  int* inForce = va_arg(arguments, int*);
  va_end(arguments);
  return real(db, option, value, inForce);
}
BRIM_FORWARD(sqlite, SQLITE_ERROR, int, sqlite3_busy_timeout, (sqlite3 * db, int milliseconds), (db, milliseconds))
BRIM_FORWARD(sqlite, SQLITE_OK, int, sqlite3_close, (sqlite3 * db), (db))
BRIM_FORWARD(sqlite, SQLITE_ERROR, int, sqlite3_exec,
             (sqlite3 * db, const char* sql, int (*callback)(void*, int, char**, char**), void* context, char** error),
             (db, sql, callback, context, error))
BRIM_FORWARD(sqlite, brim::kNoSqlite, const char*, sqlite3_errmsg, (sqlite3 * db), (db))
BRIM_FORWARD(sqlite, SQLITE_ERROR, int, sqlite3_prepare_v2,
             (sqlite3 * db, const char* sql, int bytes, sqlite3_stmt** statement, const char** tail),
             (db, sql, bytes, statement, tail))
BRIM_FORWARD(sqlite, SQLITE_ERROR, int, sqlite3_bind_text,
             (sqlite3_stmt * statement, int index, const char* text, int bytes, void (*destructor)(void*)),
             (statement, index, text, bytes, destructor))
BRIM_FORWARD(sqlite, SQLITE_ERROR, int, sqlite3_step, (sqlite3_stmt * statement), (statement))
BRIM_FORWARD(sqlite, 0.0, double, sqlite3_column_double, (sqlite3_stmt * statement, int column), (statement, column))
BRIM_FORWARD(sqlite, nullptr, const unsigned char*, sqlite3_column_text, (sqlite3_stmt * statement, int column),
             (statement, column))
BRIM_FORWARD(sqlite, 0, int, sqlite3_column_bytes, (sqlite3_stmt * statement, int column), (statement, column))
BRIM_FORWARD(sqlite, SQLITE_OK, int, sqlite3_finalize, (sqlite3_stmt * statement), (statement))

// zlib: the compression envelope.
BRIM_FORWARD(zlib, Z_VERSION_ERROR, int, deflateInit2_,
             (z_streamp stream, int level, int method, int windowBits, int memLevel, int strategy, const char* version,
              int streamSize),
             (stream, level, method, windowBits, memLevel, strategy, version, streamSize))
BRIM_FORWARD(zlib, Z_STREAM_ERROR, int, deflate, (z_streamp stream, int flush), (stream, flush))
BRIM_FORWARD(zlib, Z_STREAM_ERROR, int, deflateEnd, (z_streamp stream), (stream))
BRIM_FORWARD(zlib, Z_VERSION_ERROR, int, inflateInit2_,
             (z_streamp stream, int windowBits, const char* version, int streamSize),
             (stream, windowBits, version, streamSize))
BRIM_FORWARD(zlib, Z_STREAM_ERROR, int, inflate, (z_streamp stream, int flush), (stream, flush))
BRIM_FORWARD(zlib, Z_STREAM_ERROR, int, inflateEnd, (z_streamp stream), (stream))

// libcrypto: the pass-phrase cipher and Base64.
BRIM_FORWARD(crypto, nullptr, EVP_CIPHER_CTX*, EVP_CIPHER_CTX_new, (void), ())
BRIM_FORWARD_VOID(crypto, EVP_CIPHER_CTX_free, (EVP_CIPHER_CTX * context), (context))
BRIM_FORWARD(crypto, 0, int, EVP_CIPHER_CTX_set_padding, (EVP_CIPHER_CTX * context, int padding), (context, padding))
BRIM_FORWARD(crypto, 0, int, EVP_CipherInit_ex,
             (EVP_CIPHER_CTX * context, const EVP_CIPHER* cipher, ENGINE* engine, const unsigned char* key,
              const unsigned char* iv, int encrypt),
             (context, cipher, engine, key, iv, encrypt))
BRIM_FORWARD(crypto, 0, int, EVP_CipherUpdate,
             (EVP_CIPHER_CTX * context, unsigned char* out, int* outLength, const unsigned char* in, int inLength),
             (context, out, outLength, in, inLength))
BRIM_FORWARD(crypto, 0, int, EVP_CipherFinal_ex, (EVP_CIPHER_CTX * context, unsigned char* out, int* outLength),
             (context, out, outLength))
BRIM_FORWARD(crypto, nullptr, const EVP_CIPHER*, EVP_aes_256_cbc, (void), ())
BRIM_FORWARD(crypto, nullptr, const EVP_MD*, EVP_md5, (void), ())
BRIM_FORWARD(crypto, 0, int, EVP_Digest,
             (const void* data, size_t count, unsigned char* digest, unsigned int* size, const EVP_MD* type,
              ENGINE* engine),
             (data, count, digest, size, type, engine))
BRIM_FORWARD(crypto, nullptr, EVP_ENCODE_CTX*, EVP_ENCODE_CTX_new, (void), ())
BRIM_FORWARD_VOID(crypto, EVP_ENCODE_CTX_free, (EVP_ENCODE_CTX * context), (context))
BRIM_FORWARD_VOID(crypto, EVP_DecodeInit, (EVP_ENCODE_CTX * context), (context))
BRIM_FORWARD(crypto, -1, int, EVP_DecodeUpdate,
             (EVP_ENCODE_CTX * context, unsigned char* out, int* outLength, const unsigned char* in, int inLength),
             (context, out, outLength, in, inLength))
BRIM_FORWARD(crypto, -1, int, EVP_DecodeFinal, (EVP_ENCODE_CTX * context, unsigned char* out, int* outLength),
             (context, out, outLength))
BRIM_FORWARD(crypto, 0, int, EVP_EncodeBlock, (unsigned char* out, const unsigned char* in, int length),
             (out, in, length))
