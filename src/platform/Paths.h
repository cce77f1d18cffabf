#pragma once
// The one owner of every fixed absolute path of the tool.
//
// The shipped tool uses the paths as they stand. The sandbox build (for tests)
// prefixes each of them with a root directory set once at start-up, so that a
// test can lay out a whole agent installation in a temporary directory.
#include <string>
#include <string_view>

namespace brim {

class Paths {
 public:
  static constexpr std::string_view kInstallDir = "/opt/local/share/brimvault_mac";
  static constexpr std::string_view kSettingsFile = "/opt/local/share/brimvault_mac/config/settings.plist";
  static constexpr std::string_view kWebPostsFile = "/opt/local/share/brimvault_mac/config/webposts.plist";
  static constexpr std::string_view kLogDir = "/opt/local/share/brimvault_mac/log";
  static constexpr std::string_view kBuildDateFile = "/opt/local/share/brimvault_mac/log/build_date";
  static constexpr std::string_view kNoLogFile = "/tmp/brimvault_NOLOG.log";
  static constexpr std::string_view kTempDir = "/opt/local/share/brimvault_mac/temp";
  static constexpr std::string_view kProcsDatabase = "/opt/local/share/brimvault_mac/temp/autodelete_procsdata.sql";
  // The command search path the jobs run with: the systemd units set it; on
  // macOS launchd's default finds the same system commands.
  static constexpr std::string_view kJobCommandPath = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
  // macOS's own profiler, which reads the disks' SMART status itself.
  static constexpr std::string_view kOwnSystemProfiler = "/usr/sbin/system_profiler";
  // The two executables whose log files are opened to every user.
  static constexpr std::string_view kCommunicatorLog = "/opt/local/share/brimvault_mac/log/brim_communicatorapp.log";
  static constexpr std::string_view kHelpdeskLog = "/opt/local/share/brimvault_mac/log/brim_Helpdeskapp.log";
  // Where the system's time zone is set: the link into the zone database.
  static constexpr std::string_view kLocalTimeLink = "/etc/localtime";
  // A file, so that no path under it can exist: where a folder that could not
  // be made is taken to be.
  static constexpr std::string_view kNoFolder = "/dev/null";

  // The paths below are one system's own and are defined with that system's
  // code; a path the other system lacks is not defined there, so that code
  // using it cannot be built for that system.
  //
  // The kernel's names of this process's open files: used as they stand, never
  // under the sandbox root.
  static const std::string_view kOwnFileDescriptors;
  // Linux only: the IPv4 routing table the reachability test reads.
  static const std::string_view kRouteTable;
  // Linux only: the zone database name of the system's time zone, where the
  // local-time link does not give it.
  static const std::string_view kTimeZoneNameFile;
  // Linux only: where the listeners of distributed notifications keep their sockets.
  static const std::string_view kNotificationDir;

  // A fixed path as this process sees it: unchanged, or under the sandbox root.
  static std::string fixed(std::string_view absolutePath);

  // Sandbox build only: every fixed path is taken under root from now on.
  static void setSandboxRoot(std::string root);
  static const std::string& sandboxRoot();
};

}  // namespace brim
