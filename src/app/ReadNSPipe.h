#pragma once
// Drains the read end of a pipe into text.
#include <optional>
#include <string>

#include "app/Signature.h"

namespace brim {

class ReadNSPipe {
 public:
  // The bytes available now (empty at end of file), absent after a read error.
  // A read interrupted by a signal is retried, as often as it happens.
  static std::optional<std::string> availableDataOrError(int fd);
  // Reads fd to its end and returns outputString.
  std::string readAvailableDataFromFileHandle(int fd);

  std::optional<std::string> outputString;
};

}  // namespace brim
