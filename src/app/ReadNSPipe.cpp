// Placeholder.
#include "app/ReadNSPipe.h"

#include <unistd.h>

namespace brim {

std::optional<std::string> ReadNSPipe::availableDataOrError(int fd) {
  char buffer[4096];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n < 0) return std::nullopt;
  return std::string(buffer, static_cast<size_t>(n));
}

std::string ReadNSPipe::readAvailableDataFromFileHandle(int fd) {
  if (!outputString) outputString = std::string();
  for (;;) {
    auto data = availableDataOrError(fd);
    if (!data || data->empty()) break;
    *outputString += *data;
  }
  return *outputString;
}

}  // namespace brim
