#include "platform/LateLibrary.h"

#include <dlfcn.h>

#include <array>
#include <mutex>

#include "platform/CustomLogger.h"

namespace brim {
namespace {

constexpr auto kOpen = Sig::classLevel("LateLibrary", "open:");

std::string loaderReason(const std::string& fallback) {
  const char* error = ::dlerror();
  return error ? error : fallback;
}

}  // namespace

std::unique_ptr<LateLibrary> LateLibrary::open(const Declaration& library, const std::string& file, std::string& why) {
  const auto refuse = [&](std::string loaderWhy) {
    why = std::move(loaderWhy);
    logAt(kOpen, {"cannot load ", library.what, ", ", library.withoutIt, ": ", why});
    return nullptr;
  };
  // dlopen of an empty name would answer the program itself.
  if (file.empty()) return refuse(std::string(library.what) + " is not used on this system");
  void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return refuse(loaderReason(file + " could not be opened"));
  std::unique_ptr<LateLibrary> loaded(new LateLibrary(library, handle));
  for (const char* name : library.functions) {
    ::dlerror();
    void* found = ::dlsym(handle, name);
    if (!found) return refuse(loaderReason(file + ": " + name + " is null"));
    loaded->addresses_.push_back(found);
  }
  for (const char* name : library.optionalFunctions) loaded->addresses_.push_back(::dlsym(handle, name));
  return loaded;
}

const LateLibrary* LateLibrary::shared(const Declaration& library) {
  struct Slot {
    std::once_flag once;
    const LateLibrary* loaded = nullptr;
  };
  constexpr size_t kLibraries = static_cast<size_t>(Name::kCoreFoundation) + 1;
  static std::array<Slot, kLibraries> slots;
  const auto index = static_cast<size_t>(library.name);
  Slot& slot = slots.at(index);
  // Opening a library may log, and the log may need this very library (the
  // notification it posts): that call finds it not loaded yet rather than
  // wait for its own thread to finish loading it.
  thread_local std::array<bool, kLibraries> opening{};
  if (opening.at(index)) return nullptr;
  opening.at(index) = true;
  std::call_once(slot.once, [&] {
    std::string reason;
    slot.loaded = open(library, std::string(fileOf(library.name)), reason).release();
  });
  opening.at(index) = false;
  return slot.loaded;
}

void* LateLibrary::address(std::string_view name) const {
  size_t at = 0;
  for (const auto* names : {&library_.functions, &library_.optionalFunctions}) {
    for (const char* declared : *names) {
      if (declared == name) return addresses_[at];
      ++at;
    }
  }
  return nullptr;
}

LateLibrary::~LateLibrary() { ::dlclose(handle_); }

}  // namespace brim
