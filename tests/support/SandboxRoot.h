#pragma once
// In-process tests: every fixed path of this process points into a sandbox for
// as long as the guard lives, the time zone is the one the test names, and the
// messages logged can be read back.
#include <cstdlib>
#include <ctime>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "platform/CustomLogger.h"
#include "platform/Paths.h"
#include "support/Sandbox.h"

namespace brim::test {

class SandboxRoot {
 public:
  explicit SandboxRoot(const Sandbox& sandbox) : previous_(Paths::sandboxRoot()) {
    Paths::setSandboxRoot(sandbox.root());
  }
  ~SandboxRoot() { Paths::setSandboxRoot(previous_); }
  SandboxRoot(const SandboxRoot&) = delete;
  SandboxRoot& operator=(const SandboxRoot&) = delete;

 private:
  std::string previous_;
};

class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    if (const char* current = std::getenv("TZ")) previous_ = current;
    ::setenv("TZ", tz, 1);
    ::tzset();
  }
  ~TimeZone() {
    previous_ ? ::setenv("TZ", previous_->c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
  }
  TimeZone(const TimeZone&) = delete;
  TimeZone& operator=(const TimeZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

// The messages of this process's log, in order, without header and time stamps.
inline std::vector<std::string> loggedMessages() {
  static const std::regex stamped(R"(^\d+/\d+/\d+, \d+:\d\d:\d\d [AP]M (.*)$)");
  std::vector<std::string> messages;
  std::smatch match;
  for (const std::string& line : CustomLogger::getLogArray()) {
    if (std::regex_match(line, match, stamped)) messages.push_back(match[1]);
  }
  return messages;
}

}  // namespace brim::test
