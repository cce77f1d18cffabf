#pragma once
// Libraries opened when a job first calls them rather than when the process
// starts: most jobs never post, compress, encrypt or sample processes, and
// mapping and relocating libcurl, SQLite, zlib and libcrypto with everything
// they pull in costs every job about a third of its memory. On macOS the
// system frameworks are opened the same way, as no SDK is at hand to link
// them. A library is declared once: what the log calls it, what fails without
// it, and the functions the tool calls; where each system keeps it is that
// system's own (platform/linux|macos/LateLibrary.cpp). A library that cannot
// be opened, or that lacks one of the functions, is refused whole, with the
// loader's own reason in the log. Functions an older release of the library
// lacks, and which the tool can do without, are declared apart: they resolve to
// null there.
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brim {

class LateLibrary {
 public:
  enum class Name { kCurl, kSqlite, kZlib, kCrypto, kSystemConfiguration, kCoreFoundation };

  struct Declaration {
    Name name;
    std::string_view what;       // as the log names it: "libcurl"
    std::string_view withoutIt;  // what fails when it cannot be loaded: "HTTP requests fail"
    std::span<const char* const> functions;
    // Later additions the caller has a fallback for.
    std::span<const char* const> optionalFunctions = {};
  };

  // Where this system keeps a library: a run-time name or an absolute path;
  // empty where this system has no such library for the tool.
  static std::string_view fileOf(Name name);

  // Opens file and resolves every function of the declaration. Null when
  // either fails, with the loader's reason in why and in the log.
  static std::unique_ptr<LateLibrary> open(const Declaration& library, const std::string& file, std::string& why);

  // The process's copy of this system's file: opened by the first call from
  // whichever thread and kept to the end of the process, never closed
  // (unloading a library at exit would unload the libraries it pulled in while
  // their thread-local storage is still registered). Null when it could not be
  // loaded, which is logged once.
  static const LateLibrary* shared(const Declaration& library);

  // One of the declared functions, as its own type; null for a name the
  // declaration does not list, or an optional one this file lacks.
  template <typename Function>
  Function function(std::string_view name) const {
    return reinterpret_cast<Function>(address(name));
  }

  ~LateLibrary();
  LateLibrary(const LateLibrary&) = delete;
  LateLibrary& operator=(const LateLibrary&) = delete;

 private:
  LateLibrary(const Declaration& library, void* handle) : library_(library), handle_(handle) {}
  void* address(std::string_view name) const;

  const Declaration& library_;
  void* handle_;
  std::vector<void*> addresses_;  // in the order of library_.functions, then optionalFunctions
};

}  // namespace brim
