#pragma once
// Drains the read end of a pipe into text.
//
// The bytes are decoded as UTF-8 as they arrive. A sequence that a read cuts in
// two is held back until the next read completes it, so the text does not
// depend on how the output was split; every byte sequence that is not UTF-8
// (and a sequence still cut off at the end of the output) becomes one U+FFFD
// and is logged once per output, and reading goes on.
//
// A reader may be bounded: in time (reading ends at the deadline, with what
// was read) and in size (the bytes past the limit are left out; a
// character the cut would split is left out whole). A cut is logged; the
// caller that set the deadline says what running out of time means.
#include <chrono>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>

#include "platform/Signature.h"

namespace brim {

class ReadNSPipe {
 public:
  // The bytes available now, waiting until there are some (empty at end of
  // file); absent after a read error. A read interrupted by a signal is
  // retried, as often as it happens; each failure is logged with its reason.
  static std::optional<std::string> availableDataOrError(int fd);
  // Reads fd to its end (or to its first read error) and returns outputString.
  std::string readAvailableDataFromFileHandle(int fd);

  std::optional<std::string> outputString;

  std::optional<std::chrono::steady_clock::time_point> deadline;
  std::size_t limit = std::numeric_limits<std::size_t>::max();
  bool timedOut = false;  // the deadline came before the end of the output
  bool cut = false;       // the output went past the limit
};

}  // namespace brim
