// The macOS installer's scripts and launchd jobs, run here against a target
// volume in a sandbox, with launchctl, pkgutil, ioreg and sleep replaced by
// fakes that note their calls: each machine's jobs at its own time, kept on
// upgrade; settings laid out root's alone from templates only root can have
// changed; a launchd refusal that never fails the install; and an uninstaller
// that keeps the agent's data unless told. Also the log rotation on Linux.
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "platform/Plist.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {
namespace fs = std::filesystem;

const fs::path kPackaging = fs::path(BRIM_BIN_DIR).parent_path() / "packaging";
const std::string kLaunchDaemons = "Library/LaunchDaemons";

std::string label(const std::string& job) { return "com.brimvault.brim-asset-" + job; }

int countOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A job's calendar time as launchd reads it: hour (-1 for every hour) and minute.
std::pair<int64_t, int64_t> calendarTime(const std::string& plist) {
  const Plist job = readPlistFile(plist);
  plist_t when = plistDictItem(job.get(), "StartCalendarInterval");
  return {plistInteger(plistDictItem(when, "Hour")).value_or(-1),
          plistInteger(plistDictItem(when, "Minute")).value_or(-1)};
}

// One Mac's target volume: the payload as the installer leaves it before its
// scripts run, and fakes of the system's tools that note each call in calls().
class Volume {
 public:
  explicit Volume(const std::string& hardwareUuid) {
    unpackPayload();
    const std::string note = "echo \"$(basename \"$0\") $*\" >>'" + sandbox.root() + "/calls'\n";
    sandbox.writeExecutable(fake("ioreg"), "#!/bin/sh\n" + note + "[ -z '" + hardwareUuid +
                                               "' ] || printf '  | {\\n    \"IOPlatformUUID\" = \"%s\"\\n' '" +
                                               hardwareUuid + "'\n");
    for (const char* tool : {"system_profiler", "pkgutil", "sleep"})
      sandbox.writeExecutable(fake(tool), "#!/bin/sh\n" + note);
    // Refuses a bootstrap of the jobs listed in refuse (always) and refuse-once (the first time).
    sandbox.writeExecutable(fake("launchctl"), "#!/bin/sh\n" + note + "cd '" + sandbox.root() +
                                                   "'\n[ \"$1\" = bootstrap ] || exit 0\n"
                                                   "job=$(basename \"$3\" .plist)\n"
                                                   "if grep -qx \"$job\" refuse-once 2>/dev/null; then\n"
                                                   "  grep -vx \"$job\" refuse-once >r; mv r refuse-once\n"
                                                   "elif ! grep -qx \"$job\" refuse 2>/dev/null; then exit 0; fi\n"
                                                   "echo 'Bootstrap failed: 5: Input/output error' >&2\nexit 5\n");
  }

  // The payload as a new version brings it: the jobs as shipped, the templates, the programs.
  void unpackPayload() const {
    fs::create_directories(at(kLaunchDaemons));
    for (const auto& entry : fs::directory_iterator(kPackaging / "schedule")) {
      if (entry.path().extension() == ".plist")
        fs::copy_file(entry.path(), at(kLaunchDaemons) / entry.path().filename(), fs::copy_options::overwrite_existing);
    }
    fs::create_directories(sandbox.path("templates"));
    for (const char* name : {"settings.plist", "webposts.plist"})
      fs::copy_file(kPackaging / "templates" / name, sandbox.path("templates/") + name,
                    fs::copy_options::overwrite_existing);
    for (const char* program : {"brim_asset", "brim_inspect", "brim_register"})
      sandbox.writeExecutable(sandbox.path("bin/") + program, "#!/bin/sh\n");
    fs::copy_file(kPackaging / "macos/brim_asset_uninstall", sandbox.path("bin/brim_asset_uninstall"),
                  fs::copy_options::overwrite_existing);
  }

  // Runs one of the installer's scripts as the installer does, on this volume: $3 is its root.
  RunResult install(const std::string& script) const {
    return run((kPackaging / "macos/scripts" / script).string() + " /tmp/brim-asset.pkg / '" + sandbox.root() + "'");
  }
  RunResult uninstall(const std::string& options) const {
    return run(sandbox.path("bin/brim_asset_uninstall") + " --volume '" + sandbox.root() + "' " + options);
  }
  RunResult loadJobs(const std::vector<std::string>& jobs) const {
    std::string command = (kPackaging / "macos/scripts/load-jobs").string();
    for (const std::string& job : jobs) command += " '" + plist(job) + "'";
    return run(command);
  }
  // command with the fakes first on PATH; standard error joins standard output.
  RunResult run(const std::string& command) const {
    return runShell("PATH='" + pathWithFirst(sandbox.fakeBinDir()) + "' " + command + " 2>&1");
  }

  std::map<std::string, std::pair<int64_t, int64_t>> jobTimes() const {
    std::map<std::string, std::pair<int64_t, int64_t>> times;
    for (const char* job : {"inventory", "software", "smartstatus", "procsave"}) times[job] = calendarTime(plist(job));
    return times;
  }
  fs::path at(const std::string& relative) const { return fs::path(sandbox.root()) / relative; }
  std::string plist(const std::string& job) const { return (at(kLaunchDaemons) / (label(job) + ".plist")).string(); }
  std::string calls() const { return readFile(sandbox.root() + "/calls"); }
  std::string fake(const std::string& name) const { return sandbox.fakeBinDir() + "/" + name; }

  Sandbox sandbox;
};

class MacInstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    // Root's own files are what the scripts trust, and chown to root needs root.
    BRIM_REQUIRE_ROOT();
  }
};

// How launchd starts a job, in the words of the jobs' table: "at load",
// "daily <hour>", "hourly" or "every <seconds> s"; ways that do not go
// together run into each other.
std::string startOf(plist_t job) {
  std::string start = plistBool(plistDictItem(job, "RunAtLoad")).value_or(false) ? "at load" : "";
  if (plist_t calendar = plistDictItem(job, "StartCalendarInterval"); calendar && plistDictItem(calendar, "Minute")) {
    const auto hour = plistInteger(plistDictItem(calendar, "Hour"));
    start += hour ? "daily " + std::to_string(*hour) : "hourly";
  }
  if (const auto seconds = plistInteger(plistDictItem(job, "StartInterval")))
    start += "every " + std::to_string(*seconds) + " s";
  return start;
}

// The jobs launchd runs: only the machine's name at load; each job in the
// background with low-priority I/O; what it prints root's alone.
TEST(LaunchdJobs, OnlyTheNameRunsAtLoadAndEveryJobInTheBackground) {
  for (const auto& c : fixtureCases("tools/launchd-jobs.cases", 3)) {
    const std::string &job = c[0], &when = c[1], &argument = c[2];
    const Plist plist = readPlistFile((kPackaging / "schedule" / (label(job) + ".plist")).string());
    ASSERT_TRUE(plist) << job;
    plist_t root = plist.get();
    EXPECT_EQ(plistString(plistDictItem(root, "Label")), label(job));
    const std::string agent = "/opt/local/share/brimvault_mac";
    std::string command;
    plist_t arguments = plistDictItem(root, "ProgramArguments");
    for (uint32_t i = 0; i < plist_array_get_size(arguments); ++i)
      command += (i > 0 ? " " : "") + plistString(plist_array_get_item(arguments, i)).value_or("?");
    EXPECT_EQ(startOf(root) + " | " + command,
              when + " | " + agent + "/bin/brim_asset" + (argument.empty() ? "" : " " + argument));
    EXPECT_EQ(plistString(plistDictItem(root, "ProcessType")), "Background") << job;
    EXPECT_EQ(plistBool(plistDictItem(root, "LowPriorityIO")), true) << job;
    EXPECT_EQ(plistInteger(plistDictItem(root, "Umask")), 077) << job;
    EXPECT_EQ(plistString(plistDictItem(root, "StandardOutPath")), agent + "/log/brim-asset-" + job + ".log");
  }
}

// Two Macs with different hardware UUIDs post at different times, each within
// its job's window; an upgrade, which brings the jobs as shipped again, and a
// second run by hand keep each Mac's times. Installed on another volume, no job is loaded.
TEST_F(MacInstaller, EachMacKeepsItsOwnJobTimesAcrossUpgrades) {
  const Volume first("564D0E0D-6C5B-4E1A-9F3A-2B7C1D8E9F01");
  const Volume second("0B1E7F3C-92D4-4A65-8E21-C3F4A5B6D7E8");
  const Volume without("");
  const Volume* volumes[] = {&first, &second, &without};
  std::map<std::string, std::pair<int64_t, int64_t>> times[3];
  ASSERT_EQ(first.install("preinstall").exitStatus, 0);
  for (int i = 0; i < 3; ++i) {
    const Volume* volume = volumes[i];
    const RunResult installed = volume->install("postinstall");
    ASSERT_EQ(installed.exitStatus, 0) << installed.output;
    times[i] = volume->jobTimes();
    for (const auto& c : fixtureCases("tools/launchd-jobs.cases", 3)) {
      if (!times[i].contains(c[0])) continue;
      const auto [hour, minute] = times[i][c[0]];
      EXPECT_TRUE(minute >= 0 && minute < 60) << c[0] << " " << minute;
      if (c[1] == "hourly") {
        EXPECT_EQ(hour, -1) << c[0];
      } else {
        const int firstHour = std::stoi(c[1].substr(6));
        EXPECT_TRUE(hour == firstHour || hour == firstHour + 1) << c[0] << " at " << hour;
      }
      EXPECT_NE(installed.output.find(label(c[0]) + ": "), std::string::npos) << installed.output;
      EXPECT_EQ(modeOf(volume->plist(c[0])), 0644u);
    }
    EXPECT_EQ(volume->calls().find("launchctl"), std::string::npos) << volume->calls();
  }
  EXPECT_NE(times[0], times[1]);
  // Without a hardware UUID, a number chosen once, root's alone.
  EXPECT_EQ(modeOf(without.sandbox.path("config/.schedule-seed")), 0600u);
  EXPECT_FALSE(fs::exists(first.sandbox.path("config/.schedule-seed")));

  for (int i = 0; i < 3; ++i) {
    volumes[i]->unpackPayload();
    ASSERT_EQ(volumes[i]->install("postinstall").exitStatus, 0);
    EXPECT_EQ(volumes[i]->jobTimes(), times[i]) << "upgrade " << i;
  }
  ASSERT_EQ(first.install("postinstall").exitStatus, 0);
  EXPECT_EQ(first.jobTimes(), times[0]) << "second run";
}

// The settings and web posts are laid out root's alone; an earlier install's
// wider modes, of them, of the jobs' output and of the agent's folders, are
// tightened and said so; what the agent wrote stays.
TEST_F(MacInstaller, LaysOutRootOnlySettingsAndTightensAnEarlierInstallsModes) {
  const Volume volume("564D0E0D-6C5B-4E1A-9F3A-2B7C1D8E9F01");
  ASSERT_EQ(volume.install("postinstall").exitStatus, 0);
  for (const char* name : {"settings.plist", "webposts.plist"}) {
    EXPECT_EQ(readFile(volume.sandbox.path("config/") + name), readFile(volume.sandbox.path("templates/") + name));
    EXPECT_EQ(modeOf(volume.sandbox.path("config/") + name), 0600u) << name;
  }

  // What an earlier install left wider, and what the upgrade says of it.
  const auto widened = fixtureCases("tools/widened-modes.cases", 4);
  for (const auto& c : widened) {
    if (!fs::exists(volume.sandbox.path(c[0]))) writeFile(volume.sandbox.path(c[0]), "a job's output\n");
    ::chmod(volume.sandbox.path(c[0]).c_str(), std::stoi(c[1], nullptr, 8));
  }
  writeFile(volume.sandbox.path("config/settings.plist"), "registered by the agent\n");
  const RunResult upgraded = volume.install("postinstall");
  ASSERT_EQ(upgraded.exitStatus, 0);
  EXPECT_EQ(readFile(volume.sandbox.path("config/settings.plist")), "registered by the agent\n");
  for (const auto& c : widened) {
    EXPECT_EQ(modeOf(volume.sandbox.path(c[0])), std::stoul(c[2], nullptr, 8)) << c[0];
    EXPECT_NE(upgraded.output.find(volume.sandbox.path(c[0]) + " was " + c[3]), std::string::npos) << upgraded.output;
  }
}

// A template someone other than root could have written decides nothing: the
// settings are not laid out, and the log says why.
TEST_F(MacInstaller, TemplatesOthersCouldChangeAreNotUsed) {
  for (const auto& c : fixtureCases("tools/untrusted-templates.cases", 2)) {
    const std::string& name = c[0];
    const Volume volume("564D0E0D-6C5B-4E1A-9F3A-2B7C1D8E9F01");
    shellOutput(volume.sandbox.expand(c[1]));
    const RunResult installed = volume.install("postinstall");
    EXPECT_EQ(installed.exitStatus, 0) << name;
    EXPECT_FALSE(fs::exists(volume.sandbox.path("config/settings.plist"))) << name;
    EXPECT_NE(installed.output.find("settings.plist not laid out"), std::string::npos) << name << "\n"
                                                                                       << installed.output;
  }
}

// launchd refusing a job (still tearing down, or turned off by the user) is
// tried once more after a wait; what launchd said and what to run are logged,
// the other jobs are loaded, and the install does not fail.
TEST_F(MacInstaller, ALaunchdRefusalIsRetriedOnceAndNeverFailsTheInstall) {
  const Volume volume("564D0E0D-6C5B-4E1A-9F3A-2B7C1D8E9F01");
  writeFile(volume.sandbox.root() + "/refuse-once", label("inventory") + "\n");
  writeFile(volume.sandbox.root() + "/refuse", label("smartstatus") + "\n");
  const RunResult loaded = volume.loadJobs({"inventory", "smartstatus", "macname"});
  EXPECT_EQ(loaded.exitStatus, 0);
  const std::string calls = volume.calls();
  for (const char* job : {"inventory", "smartstatus", "macname"}) {
    EXPECT_EQ(countOf(calls, "launchctl bootstrap system " + volume.plist(job) + "\n"),
              std::string(job) == "macname" ? 1 : 2)
        << job << "\n"
        << calls;
    EXPECT_NE(calls.find("launchctl bootout system/" + label(job) + "\n"), std::string::npos) << job;
  }
  EXPECT_EQ(countOf(calls, "sleep 2\n"), 2);
  EXPECT_THAT(loaded.output,
              ::testing::AllOf(::testing::HasSubstr("launchd refused " + label("smartstatus") +
                                                    " twice: Bootstrap failed: 5: Input/output error"),
                               ::testing::HasSubstr("sudo launchctl bootstrap system " + volume.plist("smartstatus")),
                               ::testing::Not(::testing::HasSubstr(label("inventory")))));
}

// Uninstalling removes the tool and its jobs and keeps the agent's
// registration, documents not yet uploaded and log, and its other programs;
// --purge removes those too. Only root may run it.
TEST_F(MacInstaller, UninstallKeepsTheAgentsDataUnlessPurged) {
  const Volume volume("564D0E0D-6C5B-4E1A-9F3A-2B7C1D8E9F01");
  ASSERT_EQ(volume.install("postinstall").exitStatus, 0);
  // Each path of the table, as the install or the agent left it; what neither made is planted.
  const auto files = fixtureCases("tools/uninstalled-files.cases", 3);
  for (const auto& c : files) {
    if (!fs::exists(volume.sandbox.expand(c[0]))) writeFile(volume.sandbox.expand(c[0]), "planted");
  }
  fs::create_directories(volume.at("usr/local/sbin"));
  fs::create_symlink("/opt/local/share/brimvault_mac/bin/brim_asset", volume.at("usr/local/sbin/brim_asset"));
  fs::create_symlink("/somewhere/else/brim_inspect", volume.at("usr/local/sbin/brim_inspect"));

  EXPECT_EQ(volume.uninstall("--purge --bogus").exitStatus, 2);
  EXPECT_TRUE(fs::exists(volume.plist("inventory")));
  const RunResult removed = volume.uninstall("");
  EXPECT_EQ(removed.exitStatus, 0) << removed.output;
  for (const auto& c : fixtureCases("tools/launchd-jobs.cases", 3))
    EXPECT_FALSE(fs::exists(volume.plist(c[0]))) << c[0];
  for (const auto& c : files) EXPECT_EQ(fs::exists(volume.sandbox.expand(c[0])), c[1] == "kept") << c[0];
  EXPECT_FALSE(fs::is_symlink(volume.at("usr/local/sbin/brim_asset")));
  EXPECT_TRUE(fs::is_symlink(volume.at("usr/local/sbin/brim_inspect")));  // not ours
  EXPECT_NE(volume.calls().find("pkgutil --volume " + volume.sandbox.root() + " --forget com.brimvault.brim-asset\n"),
            std::string::npos)
      << volume.calls();
  EXPECT_EQ(volume.calls().find("launchctl"), std::string::npos);  // another volume's jobs are not running

  volume.unpackPayload();
  ASSERT_EQ(volume.uninstall("--purge").exitStatus, 0);
  for (const auto& c : files) EXPECT_EQ(fs::exists(volume.sandbox.expand(c[0])), c[2] == "kept") << c[0] << " purged";
}

// The rotation runs cleanly with the system's own: a fresh log root's alone
// after each rotation, and nothing in a folder logrotate refuses (/tmp), which
// would fail the whole daily run.
TEST(LogRotation, TheStanzaRotatesTheToolsLogAndLeavesTmpAlone) {
  BRIM_REQUIRE_ROOT();
  if (::access("/usr/sbin/logrotate", X_OK) != 0) GTEST_SKIP() << "logrotate is not installed";
  const Sandbox sandbox;
  const std::string stanza = readFile((kPackaging / "logrotate/brim-asset").string());
  EXPECT_EQ(stanza.substr(stanza.find("\n/") + 1, stanza.find(" {") - stanza.find("\n/") + 1),
            "/opt/local/share/brimvault_mac/log/brim_asset.log {");
  const RunResult checked = runShell("/usr/sbin/logrotate -d -s '" + sandbox.root() + "/status' '" +
                                     (kPackaging / "logrotate/brim-asset").string() + "' 2>&1");
  EXPECT_EQ(checked.exitStatus, 0) << checked.output;

  // As the system's configuration includes it, pointed at the sandbox's log folder.
  std::string ours = stanza;
  ours.replace(ours.find("/opt/local/share/brimvault_mac"), 30, sandbox.installDir());
  writeFile(sandbox.root() + "/logrotate.d/brim-asset", ours);
  writeFile(sandbox.root() + "/logrotate.conf",
            "weekly\nrotate 4\ncreate\ninclude " + sandbox.root() + "/logrotate.d\n");
  writeFile(sandbox.path("log/brim_asset.log"), "a week of entries\n");
  ::chmod(sandbox.path("log/brim_asset.log").c_str(), 0600);
  const RunResult rotated = runShell("/usr/sbin/logrotate -f -s '" + sandbox.root() + "/status' '" + sandbox.root() +
                                     "/logrotate.conf' 2>&1");
  EXPECT_EQ(rotated.exitStatus, 0) << rotated.output;
  EXPECT_EQ(readFile(sandbox.path("log/brim_asset.log.1")), "a week of entries\n");
  EXPECT_EQ(readFile(sandbox.path("log/brim_asset.log")), "");
  EXPECT_EQ(modeOf(sandbox.path("log/brim_asset.log")), 0600u);
}

}  // namespace
}  // namespace brim::test
