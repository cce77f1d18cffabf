// The macOS installer's scripts and launchd jobs, run here against a target
// volume in a sandbox, with launchctl, pkgutil, ioreg and sleep replaced by
// fakes that note their calls: each machine's jobs at its own time, kept on
// upgrade; settings laid out root's alone from templates only root can have
// changed; a launchd refusal that never fails the install; and an uninstaller
// that keeps the agent's data unless told. Also the log rotation on Linux.
#include <gtest/gtest.h>
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
    sandbox.writeExecutable(fake("system_profiler"), "#!/bin/sh\n" + note);
    sandbox.writeExecutable(fake("pkgutil"), "#!/bin/sh\n" + note);
    sandbox.writeExecutable(fake("sleep"), "#!/bin/sh\n" + note);
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
    return runShell("PATH='" + pathWithFirst(sandbox.fakeBinDir()) + "' " +
                    (kPackaging / "macos/scripts" / script).string() + " /tmp/brim-asset.pkg / '" + sandbox.root() +
                    "' 2>&1");
  }
  RunResult uninstall(const std::string& options) const {
    return runShell("PATH='" + pathWithFirst(sandbox.fakeBinDir()) + "' " + sandbox.path("bin/brim_asset_uninstall") +
                    " --volume '" + sandbox.root() + "' " + options + " 2>&1");
  }
  RunResult loadJobs(const std::vector<std::string>& jobs) const {
    std::string command =
        "PATH='" + pathWithFirst(sandbox.fakeBinDir()) + "' " + (kPackaging / "macos/scripts/load-jobs").string();
    for (const std::string& job : jobs) command += " '" + plist(job) + "'";
    return runShell(command + " 2>&1");
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

// The jobs launchd runs: only the machine's name at load; each job in the
// background with low-priority I/O; what it prints root's alone.
TEST(LaunchdJobs, OnlyTheNameRunsAtLoadAndEveryJobInTheBackground) {
  for (const auto& c : fixtureCases("tools/launchd-jobs.cases", 3)) {
    const std::string &job = c[0], &when = c[1], &argument = c[2];
    const Plist plist = readPlistFile((kPackaging / "schedule" / (label(job) + ".plist")).string());
    ASSERT_TRUE(plist) << job;
    plist_t root = plist.get();
    EXPECT_EQ(plistString(plistDictItem(root, "Label")), label(job));
    plist_t arguments = plistDictItem(root, "ProgramArguments");
    ASSERT_NE(arguments, nullptr);
    EXPECT_EQ(plist_array_get_size(arguments), argument.empty() ? 1u : 2u) << job;
    if (!argument.empty()) {
      EXPECT_EQ(plistString(plist_array_get_item(arguments, 1)), argument);
    }

    plist_t calendar = plistDictItem(root, "StartCalendarInterval");
    plist_t interval = plistDictItem(root, "StartInterval");
    const bool atLoad = plistBool(plistDictItem(root, "RunAtLoad")).value_or(false);
    EXPECT_EQ(atLoad, when == "at load") << job;
    EXPECT_EQ(calendar != nullptr, when.starts_with("daily") || when == "hourly") << job;
    EXPECT_EQ(interval != nullptr, when.starts_with("every")) << job;
    if (when.starts_with("daily")) {
      EXPECT_EQ(plistInteger(plistDictItem(calendar, "Hour")), std::stoi(when.substr(6))) << job;
    } else if (when == "hourly") {
      EXPECT_EQ(plistDictItem(calendar, "Hour"), nullptr);
      EXPECT_NE(plistDictItem(calendar, "Minute"), nullptr);
    } else if (interval) {
      EXPECT_EQ(plistInteger(interval), std::stoi(when.substr(6))) << job;
    }

    EXPECT_EQ(plistString(plistDictItem(root, "ProcessType")), "Background") << job;
    EXPECT_EQ(plistBool(plistDictItem(root, "LowPriorityIO")), true) << job;
    EXPECT_EQ(plistInteger(plistDictItem(root, "Umask")), 077) << job;
    EXPECT_EQ(plistString(plistDictItem(root, "StandardOutPath")),
              "/opt/local/share/brimvault_mac/log/brim-asset-" + job + ".log");
  }
}

// Two Macs with different hardware UUIDs post at different times, each within
// its job's window; an upgrade, which brings the jobs as shipped again, and a
// second run by hand keep each Mac's times. Installed on another volume, no job is loaded.
TEST_F(MacInstaller, EachMacKeepsItsOwnJobTimesAcrossUpgrades) {
  const Volume first("564D0E0D-6C5B-4E1A-9F3A-2B7C1D8E9F01");
  const Volume second("0B1E7F3C-92D4-4A65-8E21-C3F4A5B6D7E8");
  const Volume without("");
  std::map<std::string, std::pair<int64_t, int64_t>> times[3];
  int i = 0;
  ASSERT_EQ(first.install("preinstall").exitStatus, 0);
  for (const Volume* volume : {&first, &second, &without}) {
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
    ++i;
  }
  EXPECT_NE(times[0], times[1]);
  // Without a hardware UUID, a number chosen once, root's alone.
  EXPECT_EQ(modeOf(without.sandbox.path("config/.schedule-seed")), 0600u);
  EXPECT_FALSE(fs::exists(first.sandbox.path("config/.schedule-seed")));

  i = 0;
  for (const Volume* volume : {&first, &second, &without}) {
    volume->unpackPayload();
    ASSERT_EQ(volume->install("postinstall").exitStatus, 0);
    EXPECT_EQ(volume->jobTimes(), times[i]) << "upgrade " << i;
    ++i;
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

  const std::string settings = volume.sandbox.path("config/settings.plist");
  const std::string output = volume.sandbox.path("log/brim-asset-inventory.log");
  writeFile(settings, "registered by the agent\n");
  writeFile(output, "a job's output\n");
  ::chmod(settings.c_str(), 0644);
  ::chmod(output.c_str(), 0644);
  ::chmod(volume.sandbox.path("datapost").c_str(), 0777);
  const RunResult upgraded = volume.install("postinstall");
  ASSERT_EQ(upgraded.exitStatus, 0);
  EXPECT_EQ(readFile(settings), "registered by the agent\n");
  EXPECT_EQ(modeOf(settings), 0600u);
  EXPECT_EQ(modeOf(output), 0600u);
  EXPECT_EQ(modeOf(volume.sandbox.path("datapost")), 0755u);
  for (const std::string& said : {settings + " was -rw-r--r--", output + " was readable by others",
                                  volume.sandbox.path("datapost") + " was writable by others"})
    EXPECT_NE(upgraded.output.find(said), std::string::npos) << said << "\n" << upgraded.output;
}

// A template someone other than root could have written decides nothing: the
// settings are not laid out, and the log says why.
TEST_F(MacInstaller, TemplatesOthersCouldChangeAreNotUsed) {
  const std::vector<std::pair<std::string, std::function<void(const Volume&)>>> cases = {
      {"world-writable folder", [](const Volume& v) { ::chmod(v.sandbox.path("templates").c_str(), 0777); }},
      {"sticky world-writable folder", [](const Volume& v) { ::chmod(v.sandbox.path("templates").c_str(), 01777); }},
      {"group-writable file",
       [](const Volume& v) { ::chmod(v.sandbox.path("templates/settings.plist").c_str(), 0664); }},
      {"a user's file",
       [](const Volume& v) { EXPECT_EQ(::chown(v.sandbox.path("templates/settings.plist").c_str(), 1, 1), 0); }},
      {"a user's folder above",
       [](const Volume& v) { EXPECT_EQ(::chown((v.sandbox.root() + "/opt/local").c_str(), 1, 1), 0); }},
      {"a link",
       [](const Volume& v) {
         fs::rename(v.sandbox.path("templates"), v.sandbox.root() + "/elsewhere");
         fs::create_directory_symlink(v.sandbox.root() + "/elsewhere", v.sandbox.path("templates"));
       }},
  };
  for (const auto& [name, tamper] : cases) {
    const Volume volume("564D0E0D-6C5B-4E1A-9F3A-2B7C1D8E9F01");
    tamper(volume);
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
  EXPECT_NE(
      loaded.output.find("launchd refused " + label("smartstatus") + " twice: Bootstrap failed: 5: Input/output error"),
      std::string::npos)
      << loaded.output;
  EXPECT_NE(loaded.output.find("sudo launchctl bootstrap system " + volume.plist("smartstatus")), std::string::npos);
  EXPECT_EQ(loaded.output.find(label("inventory")), std::string::npos) << loaded.output;
}

// Uninstalling removes the tool and its jobs and keeps the agent's
// registration, documents not yet uploaded and log, and its other programs;
// --purge removes those too. Only root may run it.
TEST_F(MacInstaller, UninstallKeepsTheAgentsDataUnlessPurged) {
  const Volume volume("564D0E0D-6C5B-4E1A-9F3A-2B7C1D8E9F01");
  ASSERT_EQ(volume.install("postinstall").exitStatus, 0);
  writeFile(volume.at("private/etc/newsyslog.d/brim-asset.conf"), "rotation\n");
  writeFile(volume.sandbox.path("datapost/wpmacasstinfo_4711_20261207041500"), "<d/>");
  writeFile(volume.sandbox.path("log/brim_asset.log"), "history\n");
  writeFile(volume.sandbox.path("temp/autodelete_procsdata.sql"), "samples");
  writeFile(volume.sandbox.path("bin/brim_asset.lock"), "");
  fs::create_directories(volume.at("usr/local/sbin"));
  fs::create_symlink("/opt/local/share/brimvault_mac/bin/brim_asset", volume.at("usr/local/sbin/brim_asset"));
  fs::create_symlink("/somewhere/else/brim_inspect", volume.at("usr/local/sbin/brim_inspect"));

  EXPECT_EQ(volume.uninstall("--purge --bogus").exitStatus, 2);
  EXPECT_TRUE(fs::exists(volume.plist("inventory")));
  const RunResult removed = volume.uninstall("");
  EXPECT_EQ(removed.exitStatus, 0) << removed.output;
  for (const auto& c : fixtureCases("tools/launchd-jobs.cases", 3))
    EXPECT_FALSE(fs::exists(volume.plist(c[0]))) << c[0];
  for (const char* gone : {"bin/brim_asset", "bin/brim_inspect", "bin/brim_asset_uninstall", "bin/brim_asset.lock",
                           "templates", "temp/autodelete_procsdata.sql"})
    EXPECT_FALSE(fs::exists(volume.sandbox.path(gone))) << gone;
  EXPECT_FALSE(fs::exists(volume.at("private/etc/newsyslog.d/brim-asset.conf")));
  EXPECT_FALSE(fs::is_symlink(volume.at("usr/local/sbin/brim_asset")));
  EXPECT_TRUE(fs::is_symlink(volume.at("usr/local/sbin/brim_inspect")));  // not ours
  for (const char* kept : {"bin/brim_register", "config/settings.plist", "datapost/wpmacasstinfo_4711_20261207041500",
                           "log/brim_asset.log"})
    EXPECT_TRUE(fs::exists(volume.sandbox.path(kept))) << kept;
  EXPECT_NE(volume.calls().find("pkgutil --volume " + volume.sandbox.root() + " --forget com.brimvault.brim-asset\n"),
            std::string::npos)
      << volume.calls();
  EXPECT_EQ(volume.calls().find("launchctl"), std::string::npos);  // another volume's jobs are not running

  volume.unpackPayload();
  ASSERT_EQ(volume.uninstall("--purge").exitStatus, 0);
  for (const char* gone : {"config", "datapost", "log", "data", "temp"})
    EXPECT_FALSE(fs::exists(volume.sandbox.path(gone))) << gone;
  EXPECT_TRUE(fs::exists(volume.sandbox.path("bin/brim_register")));
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
