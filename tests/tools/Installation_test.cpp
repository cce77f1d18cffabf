// Installing and registering the agent: `cmake --install` lays out the agent's
// directory, and a second install keeps the agent's settings, which the
// registration tool has written into meanwhile; the registration stand-in
// gives a stable id per machine, written into the settings file without
// disturbing what the agent's other components keep there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "Registration.h"
#include "platform/Paths.h"
#include "platform/Plist.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {
namespace fs = std::filesystem;

// A sandbox serves as the install's destination, as a machine tree of its own
// and as the agent's installation.
class Installation : public ::testing::Test {
 protected:
  // The install script itself, so the allowance for the placeholder pass phrase that a
  // default build carries is this test's alone. Installs share the build's one manifest
  // file: the lock keeps another test's install from writing it before it is copied.
  int install() const {
    const std::string buildDir = fs::path(BRIM_BIN_DIR).parent_path().string();
    return std::system(
        ("cd '" + buildDir + "' && flock install_manifest.lock sh -c \"DESTDIR='" + destdir.string() +
         "' cmake -DBRIM_INSTALL_PLACEHOLDER=ON -P cmake_install.cmake >/dev/null && cp install_manifest.txt '" +
         manifest + "'\"")
            .c_str());
  }
  // scripts/uninstall.sh on what install() put into destdir.
  RunResult uninstall(const std::string& options = "") const {
    return runShell("BRIM_DESTDIR='" + destdir.string() + "' '" + sourceDir + "/scripts/uninstall.sh' " + options +
                    " '" + manifest + "' 2>&1");
  }
  // Everything but folders under destdir, outside the agent's folder.
  std::vector<std::string> filesOutsideTheAgentFolder() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(destdir)) {
      const std::string path = entry.path().string();
      if (!entry.is_directory() && path.rfind(agent(""), 0) != 0) found.push_back(path);
    }
    return found;
  }
  std::string agent(const std::string& relative) const {
    return (destdir / "opt/local/share/brimvault_mac" / relative).string();
  }
  std::string at(const std::string& relative) const { return sandbox.root() + "/" + relative; }
  std::optional<int64_t> idOfThisTree() const { return registration::registrationId(sandbox.root()); }
  Sandbox sandbox;
  const fs::path destdir = sandbox.root() + "/destdir";
  const std::string manifest = sandbox.root() + "/install_manifest.txt";
  const std::string sourceDir = fs::path(BRIM_TEST_FIXTURES).parent_path().parent_path().string();
};

// A second install keeps the settings, which the registration tool has written into meanwhile.
TEST_F(Installation, LaysOutTheAgentDirectoryAndAReinstallKeepsItsSettings) {
  ASSERT_EQ(install(), 0);
  for (const char* program : {"bin/brim_asset", "bin/brim_register", "bin/system_profiler"}) {
    const fs::path file = agent(program);
    EXPECT_TRUE(fs::is_regular_file(file) &&
                (fs::status(file).permissions() & fs::perms::owner_exec) != fs::perms::none)
        << program;
  }
  for (const char* dir : {"temp", "log", "data", "datapost"}) EXPECT_TRUE(fs::is_directory(agent(dir))) << dir;
  EXPECT_FALSE(readFile(agent("log/build_date")).empty());
  EXPECT_TRUE(fs::exists(destdir / "usr/local/bin/system_profiler"));

  Plist settings = readPlistFile(agent("config/settings.plist"));
  plist_t folders = plistDictItem(settings.get(), "macfolders");
  EXPECT_EQ(plistString(plistDictItem(folders, "agentinstallpathabsolute")), "/opt/local/share/brimvault_mac");
  for (const auto& c : fixtureCases("tools/installed-folders.cases", 2))
    EXPECT_EQ(plistString(plistDictItem(folders, c[0])), c[1]) << c[0];
  plist_t regId = plistDictItem(plistDictItem(settings.get(), "machineinfo"), "dcregid");
  ASSERT_NE(regId, nullptr);
  EXPECT_EQ(plist_get_node_type(regId), PLIST_UINT);
  EXPECT_EQ(plistInteger(regId), 0);

  Plist webPosts = readPlistFile(agent("config/webposts.plist"));
  ASSERT_TRUE(webPosts);
  EXPECT_EQ(plist_get_node_type(webPosts.get()), PLIST_DICT);
  EXPECT_EQ(plist_dict_get_size(webPosts.get()), 0u);

  // Each job's unit runs the installed tool with its option, and gives up on
  // it only well after the time limits of all its commands have run out.
  const fs::path units = destdir / "usr/local/lib/systemd/system";
  const std::string target = readFile((units / "brim-asset.target").string());
  for (const auto& c : fixtureCases("tools/installed-units.cases", 3)) {
    const std::string &job = c[0], &command = c[1], &timeout = c[2];
    const std::string service = readFile((units / ("brim-asset-" + job + ".service")).string());
    EXPECT_NE(service.find("ExecStart=/opt/local/share/brimvault_mac/bin/" + command), std::string::npos) << job;
    EXPECT_NE(service.find("\nTimeoutStartSec=" + timeout + "\n"), std::string::npos) << job;
    // brim_inspect doctor looks for the jobs' commands on the same PATH.
    EXPECT_NE(service.find("\nEnvironment=PATH=" + std::string(Paths::kJobCommandPath) + "\n"), std::string::npos);
    const std::string timer = readFile((units / ("brim-asset-" + job + ".timer")).string());
    EXPECT_NE(timer.find("\nPartOf=brim-asset.target\n"), std::string::npos) << job;
    // One enable starts every timer.
    EXPECT_NE(target.find("brim-asset-" + job + ".timer"), std::string::npos) << job;
    // A daily job runs once soon after its timer starts, not only after the next midnight.
    if (timer.find("OnCalendar=daily") != std::string::npos) {
      EXPECT_NE(timer.find("\nOnActiveSec=10min\n"), std::string::npos) << job;
    }
    // A fleet spreads its calendar jobs, each machine at the same offset every time.
    if (timer.find("OnCalendar=") != std::string::npos) {
      EXPECT_NE(timer.find("\nRandomizedDelaySec="), std::string::npos) << job;
      EXPECT_NE(timer.find("\nFixedRandomDelay=true\n"), std::string::npos) << job;
    }
    // An inventory must not slow the machine it describes.
    EXPECT_NE(service.find("\nNice=10\nIOSchedulingClass=idle\n"), std::string::npos) << job;
  }
  EXPECT_NE(readFile((destdir / "etc/logrotate.d/brim-asset").string()).find("\n\tcreate 0600 root root\n"),
            std::string::npos);
  for (const char* tool : {"brim_asset", "brim_inspect"}) {
    EXPECT_EQ(fs::read_symlink(destdir / "usr/local/sbin" / tool).string(),
              std::string(Paths::kInstallDir) + "/bin/" + tool);
  }

  std::string registered = readFile(agent("config/settings.plist"));
  registered.replace(registered.find("<integer>0</integer>"), 20, "<integer>4711</integer>");
  writeFile(agent("config/settings.plist"), registered);
  writeFile(agent("config/webposts.plist"), "<plist><dict><key>x</key><dict/></dict></plist>\n");
  // The sites and the encrypted proxy password are root's alone, also after an earlier install's wider mode.
  EXPECT_EQ(fs::status(agent("config/settings.plist")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(agent("config/webposts.plist"), fs::perms::others_read, fs::perm_options::add);
  ASSERT_EQ(install(), 0);
  for (const char* name : {"config/settings.plist", "config/webposts.plist"})
    EXPECT_EQ(fs::status(agent(name)).permissions(), fs::perms::owner_read | fs::perms::owner_write) << name;
  EXPECT_EQ(readFile(agent("config/settings.plist")), registered);
  EXPECT_EQ(readFile(agent("config/webposts.plist")), "<plist><dict><key>x</key><dict/></dict></plist>\n");
}

// What a source install put outside the agent's folder goes, and the folders it made for
// it; the agent's files stay unless asked, and a manifest naming paths elsewhere touches
// nothing there.
TEST_F(Installation, UninstallRemovesWhatTheInstallPutOutsideTheAgentFolderAndKeepsTheAgentsFiles) {
  ASSERT_EQ(install(), 0);
  EXPECT_GT(filesOutsideTheAgentFolder().size(), 20u);
  writeFile(agent("datapost/wpmacasstinfo_4711_20261207023645"), "<wpmacasstinfo/>");
  writeFile(sandbox.root() + "/outside", "mine\n");
  // cmake ends the manifest's last line without a line break.
  writeFile(manifest, readFile(manifest) + "\n/etc/hostname\n/usr/local/share/brim_asset/../../../../../outside\n" +
                          "usr/local/sbin/brim_asset\n/usr/local\n");

  RunResult result = uninstall();
  EXPECT_EQ(result.exitStatus, 0) << result.output;
  EXPECT_EQ(filesOutsideTheAgentFolder(), std::vector<std::string>{}) << result.output;
  EXPECT_NE(result.output.find("skipping /etc/hostname: not a file this project installs"), std::string::npos);
  EXPECT_NE(result.output.find("/../outside: not a plain path"), std::string::npos);
  EXPECT_NE(result.output.find("skipping usr/local/sbin/brim_asset: not an absolute path"), std::string::npos);
  EXPECT_NE(result.output.find("(1 document not uploaded)"), std::string::npos) << result.output;
  EXPECT_EQ(readFile(sandbox.root() + "/outside"), "mine\n");
  EXPECT_TRUE(fs::is_directory(destdir / "usr/local"));
  for (const char* made : {"usr/local/lib/systemd", "usr/local/share/brim_asset", "usr/local/share/man/man8"})
    EXPECT_FALSE(fs::exists(destdir / made)) << made;
  EXPECT_FALSE(fs::exists(agent("bin")));
  EXPECT_TRUE(fs::is_regular_file(agent("config/settings.plist")));
  EXPECT_TRUE(fs::is_regular_file(agent("datapost/wpmacasstinfo_4711_20261207023645")));

  result = uninstall("--all");
  EXPECT_EQ(result.exitStatus, 0) << result.output;
  EXPECT_FALSE(fs::exists(destdir / "opt/local"));
  EXPECT_TRUE(fs::is_directory(destdir / "opt"));

  EXPECT_EQ(uninstall("--bogus").exitStatus, 2);
  fs::remove(manifest);
  result = uninstall();
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_NE(result.output.find("no install manifest at " + manifest), std::string::npos) << result.output;
}

// A person's summary of two data-post files of a virtual machine without DMI
// tables, battery, Bluetooth or USB, and of a file that is not there.
TEST_F(Installation, TheInventorySummaryNamesEachCategoryAndSaysWhyOneIsEmpty) {
  if (runShell("command -v python3").exitStatus != 0) GTEST_SKIP() << "python3 is missing";
  writeFile(at("machine/sys/class/drm/card0/dev"), "226:0\n");
  writeFile(at("machine/sys/class/power_supply/AC/type"), "Mains\n");
  writeFile(at("machine/proc/mounts"), "/dev/vda1 / ext4 rw 0 0\nserver:/home /home nfs4 rw 0 0\n");
  const RunResult result =
      runShell("cd '" + fixture("tools/summary") + "' && TZ=UTC python3 '" + sourceDir +
               "/scripts/inventory-summary.py' --machine-root '" + at("machine") +
               "' wpmacasstinfo_4711_20261207023645 wpmacasstswinfo_4711_20261207023712 missing 2>&1");
  EXPECT_EQ(result.exitStatus, 1);
  expectAsReviewed(fixture("tools/summary/expected.txt"), result.output);
}

// The id comes from the machine id (or D-Bus's copy of it) and is the same on
// every run; without one, from the host name and the first real MAC address.
TEST_F(Installation, TheRegistrationIdIsStableAndFollowsTheMachineIdElseHostNameAndMacAddress) {
  EXPECT_FALSE(idOfThisTree());
  writeFile(at("proc/sys/kernel/hostname"), "laptop.example.lan\n");
  writeFile(at("sys/class/net/lo/address"), "00:00:00:00:00:00\n");
  writeFile(at("sys/class/net/wlp2s0/address"), "f8:34:41:01:02:03\n");
  const auto fromHost = idOfThisTree();
  EXPECT_GT(fromHost.value_or(0), 0);
  writeFile(at("sys/class/net/wlp2s0/address"), "f8:34:41:01:02:04\n");
  EXPECT_NE(idOfThisTree(), fromHost);
  EXPECT_EQ(registration::hostName(sandbox.root()), "laptop");

  writeFile(at("var/lib/dbus/machine-id"), "5c1f0e9a7b3d4e2f8a6b0c1d2e3f4a5b\n");
  const auto id = idOfThisTree();
  EXPECT_GT(id.value_or(0), 0);
  writeFile(at("etc/machine-id"), "5c1f0e9a7b3d4e2f8a6b0c1d2e3f4a5b\n");
  EXPECT_EQ(idOfThisTree(), id);
  writeFile(at("etc/machine-id"), "00000000000000000000000000000001\n");
  EXPECT_NE(idOfThisTree(), id);
}

// Id and name go into "machineinfo" and everything else stays; a registered
// machine and files it cannot read are left alone.
TEST_F(Installation, RegistrationWritesIdAndNameIntoMachineInfoOnlyOfAnUnregisteredMachine) {
  const std::string settings = sandbox.path("config/settings.plist");
  const std::string registered = readFile(fixture("tools/registered_settings.plist"));
  writeFile(settings, readFile(fixture("tools/unregistered_settings.plist")));
  EXPECT_EQ(registration::registerMachine(settings, 6266218503289787322, "vm"), registration::Outcome::Registered);
  EXPECT_EQ(readFile(settings), registered);
  EXPECT_EQ(sandbox.listDir("config"), std::vector<std::string>{"settings.plist"});  // no temporary left
  EXPECT_EQ(registration::registerMachine(settings, 99, "vm"), registration::Outcome::AlreadyRegistered);
  EXPECT_EQ(readFile(settings), registered);

  for (const std::string broken :
       {"not a property list", "<plist version=\"1.0\"><array/></plist>\n",
        "<plist version=\"1.0\"><dict><key>machineinfo</key><string>x</string></dict></plist>\n"}) {
    writeFile(settings, broken);
    EXPECT_EQ(registration::registerMachine(settings, 99, "vm"), registration::Outcome::Failed) << broken;
    EXPECT_EQ(readFile(settings), broken);
  }
  fs::remove(settings);
  EXPECT_EQ(registration::registerMachine(settings, 99, "vm"), registration::Outcome::Failed);
  EXPECT_FALSE(fs::exists(settings));
}

// A configuration file written where none was (set-webpost's first web post)
// is the owner's alone; an existing one keeps the mode it was given.
TEST_F(Installation, AConfigurationFileWrittenWhereNoneWasIsTheOwnersAlone) {
  const std::string file = sandbox.path("config/webposts.plist");
  const Plist posts(plist_new_dict());
  ASSERT_TRUE(writePlistFileAtomically(file, posts.get()));
  EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(file, fs::perms::group_read, fs::perm_options::add);
  ASSERT_TRUE(writePlistFileAtomically(file, posts.get()));
  EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(Installation, AnUnregisteredSandboxRunRegistersThroughTheStandInAndGoesOn) {
  BRIM_REQUIRE_ROOT();
  sandbox.writeSettings(0);
  sandbox.writeBuildDate();
  fs::copy_file(std::string(BRIM_BIN_DIR) + "/brim_register", sandbox.path("bin/brim_register"));
  const auto id = registration::registrationId("/");
  ASSERT_TRUE(id);

  const RunResult result = sandbox.runExpecting(0, {"-PerfCollect"});
  EXPECT_NE(result.output.find("int main(int, const char **):current regid=" + std::to_string(*id) + "\n"),
            std::string::npos)
      << result.output;
  Plist settings = readPlistFile(sandbox.path("config/settings.plist"));
  plist_t machineInfo = plistDictItem(settings.get(), "machineinfo");
  EXPECT_EQ(plistInteger(plistDictItem(machineInfo, "dcregid")), *id);
  EXPECT_EQ(plistString(plistDictItem(machineInfo, "machinename")), registration::hostName("/"));
  EXPECT_TRUE(plistString(plistDictItem(plistDictItem(settings.get(), "macfolders"), "agentinstallpathabsolute")));
}

}  // namespace
}  // namespace brim::test
