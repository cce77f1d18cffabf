// systemd runs the jobs; the Debian package and its dependencies bring what they need.
#include "inspect/SystemAdvice.h"

#include "platform/Paths.h"

namespace brim::inspect {

// The PATH the units give the jobs.
std::string_view jobCommandPath() { return Paths::kJobCommandPath; }

// One target wants every timer: enabling it starts the whole schedule.
std::string startJobAdvice(std::string_view /*job*/) { return "systemctl enable --now brim-asset.target"; }

// A oneshot service: start returns when the job has ended.
std::string runJobNowAdvice(std::string_view job) {
  return "systemctl start brim-asset-" + std::string(job) + ".service";
}

std::string reinstallAdvice() { return "apt-get install --reinstall brim-asset"; }

std::string missingCommandAdvice(std::string_view command) {
  if (command == "ps") return "apt-get install procps";
  if (command == "smartctl") return "apt-get install smartmontools";
  // The stand-in for macOS's profiler comes with the package.
  return reinstallAdvice() + " (it puts " + std::string(command) + " in /usr/bin)";
}

}  // namespace brim::inspect
