#include "app/ReadNSPipe.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "app/CustomLogger.h"
#include "platform/TextEncoding.h"

namespace brim {
namespace {

constexpr auto kAvailableData = Sig::classLevel("ReadNSPipe", "availableDataOrError:");
constexpr auto kReadAll = Sig::instance("ReadNSPipe", "readAvailableDataFromFileHandle:");

// As much as a pipe holds by default: one read takes whatever the writer left.
constexpr size_t kReadSize = 65536;

}  // namespace

std::optional<std::string> ReadNSPipe::availableDataOrError(int fd) {
  std::string data(kReadSize, '\0');
  for (;;) {
    const ssize_t n = ::read(fd, data.data(), data.size());
    if (n >= 0) {
      data.resize(static_cast<size_t>(n));
      return data;
    }
    const int error = errno;
    logAt(kAvailableData, "Exception:read: " + std::system_category().message(error));
    if (error != EINTR) return std::nullopt;
  }
}

std::string ReadNSPipe::readAvailableDataFromFileHandle(int fd) {
  if (!outputString) outputString = std::string();
  std::string undecoded;
  size_t replaced = 0;
  for (;;) {
    const std::optional<std::string> data = availableDataOrError(fd);
    const bool atEnd = !data || data->empty();
    if (data) undecoded += *data;
    size_t tail = 0;
    replaced += TextEncoding::decodeUtf8Lossy(undecoded, atEnd, *outputString, tail);
    undecoded.erase(0, undecoded.size() - tail);
    if (atEnd) break;
  }
  if (replaced > 0) {
    logAt(kReadAll,
          "Output is not UTF-8: " + std::to_string(replaced) + " ill-formed byte sequence(s) replaced by U+FFFD");
  }
  return *outputString;
}

}  // namespace brim
