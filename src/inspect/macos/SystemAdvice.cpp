// launchd runs the jobs, each a daemon of its own; the commands they run are
// the system's, and there is no package manager to ask for them.
#include "inspect/SystemAdvice.h"

namespace brim::inspect {

// launchd's own PATH for daemons: the jobs set none.
std::string_view jobCommandPath() { return "/usr/bin:/bin:/usr/sbin:/sbin"; }

std::string startJobAdvice(std::string_view job) {
  return "launchctl bootstrap system /Library/LaunchDaemons/com.brimvault.brim-asset-" + std::string(job) + ".plist";
}

std::string runJobNowAdvice(std::string_view job) {
  return "launchctl kickstart system/com.brimvault.brim-asset-" + std::string(job);
}

std::string reinstallAdvice() { return "install the brim-asset package again (installer -pkg <package> -target /)"; }

std::string missingCommandAdvice(std::string_view command) {
  if (command == "ps") return "/bin/ps is part of macOS: restore it from the system's installer";
  if (command == "system_profiler")
    return "/usr/sbin/system_profiler is part of macOS: restore it from the system's installer";
  return "macOS's own system_profiler reads the disks' SMART status; " + std::string(command) + " is not needed";
}

}  // namespace brim::inspect
