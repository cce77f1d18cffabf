// brim_register: the agent's registration tool as far as brim_asset needs it.
// The real one registers the machine with the agent's server; this stand-in
// derives a stable id locally and records it in the settings file, so that a
// Linux installation runs its inventory jobs without a server.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Registration.h"
#include "platform/Paths.h"

int main() {
  // brim_asset_sandbox runs this program through /bin/sh with its own
  // environment, and its settings file lives under $BRIM_SANDBOX_ROOT. Reading
  // that variable here is fine: this is a separate program of the agent, not
  // the shipped tool, which itself reads no environment variable.
  if (const char* sandbox = std::getenv("BRIM_SANDBOX_ROOT"); sandbox && sandbox[0] == '/')
    brim::Paths::setSandboxRoot(sandbox);
  const std::string settings = brim::Paths::fixed(brim::Paths::kSettingsFile);

  const auto id = registration::registrationId("/");
  if (!id) {
    std::fprintf(stderr, "brim_register: no machine id, host name or MAC address to derive an id from\n");
    return 1;
  }
  const std::string name = registration::hostName("/").value_or("Linux Computer");
  switch (registration::registerMachine(settings, *id, name)) {
    case registration::Outcome::Registered:
      std::printf("brim_register: registered as %lld\n", static_cast<long long>(*id));
      return 0;
    case registration::Outcome::AlreadyRegistered:
      std::printf("brim_register: already registered\n");
      return 0;
    case registration::Outcome::Failed:
      return 1;
  }
  return 1;
}
