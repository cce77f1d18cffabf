#include "platform/ReadNSPipe.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>

#include "platform/CustomLogger.h"
#include "platform/TextEncoding.h"

namespace brim {
namespace {

constexpr auto kAvailableData = Sig::classLevel("ReadNSPipe", "availableDataOrError:");
constexpr auto kReadAll = Sig::instance("ReadNSPipe", "readAvailableDataFromFileHandle:");

// As much as a pipe holds by default: one read takes whatever the writer left.
constexpr size_t kReadSize = 65536;

// Waits until fd has something to read (data, its end or an error) or the
// deadline has come; false when it came first.
bool readableBefore(int fd, std::chrono::steady_clock::time_point deadline) {
  using namespace std::chrono;
  for (;;) {
    const auto left = ceil<milliseconds>(deadline - steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd watched{fd, POLLIN, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(std::min<milliseconds::rep>(left.count(), INT_MAX)));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;  // the read reports it
  }
}

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
  size_t kept = 0;
  for (;;) {
    if (deadline && !readableBefore(fd, *deadline)) timedOut = true;
    std::optional<std::string> data = timedOut ? std::string() : availableDataOrError(fd);
    if (data && data->size() > limit - kept) {
      data->resize(limit - kept);
      cut = true;
    }
    const bool atEnd = !data || data->empty() || cut;
    if (data) {
      undecoded += *data;
      kept += data->size();
    }
    size_t tail = 0;
    // After a cut the bytes held back are the start of a character whose rest was left unread.
    replaced += TextEncoding::decodeUtf8Lossy(undecoded, atEnd && !cut, *outputString, tail);
    undecoded.erase(0, undecoded.size() - tail);
    if (atEnd) break;
  }
  if (cut) logAt(kReadAll, "Output over " + std::to_string(limit) + " bytes: cut at that size");
  if (replaced > 0) {
    logAt(kReadAll,
          "Output is not UTF-8: " + std::to_string(replaced) + " ill-formed byte sequence(s) replaced by U+FFFD");
  }
  return *outputString;
}

}  // namespace brim
