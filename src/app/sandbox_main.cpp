// brim_asset_sandbox: the same program for tests. Every fixed absolute path is
// taken under $BRIM_SANDBOX_ROOT; BRIM_SANDBOX_NO_DELAY=1 skips the start delay's sleep;
// BRIM_SANDBOX_COMMAND_LIMIT=<seconds> puts every shell command under that time limit.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/EntryPoint.h"
#include "platform/ShellCommand.h"
#include "platform/Paths.h"

int main(int argc, const char** argv) {
  const char* root = std::getenv("BRIM_SANDBOX_ROOT");
  if (!root || root[0] != '/') {
    std::fprintf(stderr, "brim_asset_sandbox: BRIM_SANDBOX_ROOT must name an absolute directory\n");
    return 2;
  }
  brim::Paths::setSandboxRoot(root);
  brim::EntryPoint::Hooks hooks = brim::EntryPoint::platformHooks();
  const char* noDelay = std::getenv("BRIM_SANDBOX_NO_DELAY");
  hooks.skipStartDelay = noDelay && std::string(noDelay) == "1";
  if (const char* limit = std::getenv("BRIM_SANDBOX_COMMAND_LIMIT")) {
    const std::chrono::seconds seconds(std::strtol(limit, nullptr, 10));
    if (seconds.count() > 0) brim::ShellCommand::setLimits(brim::ShellCommand::Limits{seconds, seconds});
  }
  const std::vector<std::string> args(argv + 1, argv + argc);
  return brim::EntryPoint(hooks).run(args);
}
