// brim_asset_sandbox: the same program for tests. Every fixed absolute path is
// taken under $BRIM_SANDBOX_ROOT; BRIM_SANDBOX_NO_DELAY=1 skips the start delay's sleep;
// BRIM_SANDBOX_COMMAND_LIMIT=<seconds> puts every shell command under that time limit;
// BRIM_SANDBOX_POST_LIMIT=<seconds> bounds each attempt to post a report;
// BRIM_SANDBOX_REACHABILITY=up|down answers every reachability question, so a run
// that needs the network down means the same on every machine (unset: the
// system's own answer, the routing table under the root on Linux).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/EntryPoint.h"
#include "net/Communications.h"
#include "platform/Paths.h"
#include "platform/ReachabilitySource.h"
#include "platform/ShellCommand.h"

namespace {

// A positive number of seconds in the variable, else absent.
std::optional<std::chrono::seconds> limitFrom(const char* variable) {
  const char* value = std::getenv(variable);
  const std::chrono::seconds seconds(value ? std::strtol(value, nullptr, 10) : 0);
  if (seconds.count() <= 0) return std::nullopt;
  return seconds;
}

// The sandbox's reachability answer; false when the variable says something else.
bool takeReachability() {
  const char* value = std::getenv("BRIM_SANDBOX_REACHABILITY");
  if (!value) return true;
  const std::string answer(value);
  if (answer != "up" && answer != "down") {
    std::fprintf(stderr, "brim_asset_sandbox: BRIM_SANDBOX_REACHABILITY must be up or down, not \"%s\"\n", value);
    return false;
  }
  const uint32_t flags = answer == "up" ? brim::ReachabilitySource::kReachable : 0;
  brim::ReachabilitySource::setOverrideForTesting([flags](uint32_t) { return std::optional<uint32_t>(flags); });
  return true;
}

}  // namespace

int main(int argc, const char** argv) {
  const char* root = std::getenv("BRIM_SANDBOX_ROOT");
  if (!root || root[0] != '/') {
    std::fprintf(stderr, "brim_asset_sandbox: BRIM_SANDBOX_ROOT must name an absolute directory\n");
    return 2;
  }
  brim::Paths::setSandboxRoot(root);
  if (!takeReachability()) return 2;
  brim::EntryPoint::Hooks hooks = brim::EntryPoint::platformHooks();
  const char* noDelay = std::getenv("BRIM_SANDBOX_NO_DELAY");
  hooks.skipStartDelay = noDelay && std::string(noDelay) == "1";
  if (const auto seconds = limitFrom("BRIM_SANDBOX_COMMAND_LIMIT")) {
    brim::ShellCommand::setLimits(brim::ShellCommand::Limits{*seconds, *seconds});
  }
  if (const auto seconds = limitFrom("BRIM_SANDBOX_POST_LIMIT")) brim::Communications::setAttemptLimit(*seconds);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return brim::EntryPoint(hooks).run(args);
}
