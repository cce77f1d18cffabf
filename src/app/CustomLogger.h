#pragma once
// The tool's one diagnostic log. Every message is echoed to standard output
// and appended, with a time stamp, to "<log dir>/<process name>.log" under a
// cooperative lock file; without the build-date file it goes to the fallback
// log instead.
#include <string>
#include <string_view>
#include <vector>

#include "app/Signature.h"

namespace brim {

class CustomLogger {
 public:
  static void MyCustomLog(const std::string& message);
  static void MyCustomErrorLog(const std::string& message);
  static void log(const std::string& message);
  static std::string locationPath();
  static void clearLog();
  static std::vector<std::string> getLogArray();
};

// Logs "<signature>:<text>" through MyCustomLog: the "%s:" convention of every message.
void logAt(const Sig& sig, std::string_view text);

// "%@" of an absent string is the six characters (null).
inline constexpr std::string_view kNullText = "(null)";

}  // namespace brim
