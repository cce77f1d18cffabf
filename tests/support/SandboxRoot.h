#pragma once
// In-process tests: every fixed path of this process points into a sandbox for
// as long as the guard lives, and the messages logged can be read back.
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
