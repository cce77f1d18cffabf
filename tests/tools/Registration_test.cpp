// The registration stand-in: a stable id per machine, written into the settings
// file without disturbing what the agent's other components keep there.
#include "Registration.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ScratchDir.h"
#include "platform/Plist.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {
namespace fs = std::filesystem;

class TempRoot : public ::testing::Test {
 protected:
  std::string at(const std::string& relative) const { return scratch.at(relative); }
  ScratchDir scratch{"brim_registration"};
  const fs::path& dir = scratch.path();
};

using RegistrationId = TempRoot;

TEST_F(RegistrationId, ComesFromTheMachineIdAndIsTheSameOnEveryRun) {
  writeFile(at("etc/machine-id"), "5c1f0e9a7b3d4e2f8a6b0c1d2e3f4a5b\n");
  const auto id = registration::registrationId(dir.string());
  ASSERT_TRUE(id);
  EXPECT_GT(*id, 0);
  EXPECT_EQ(registration::registrationId(dir.string()), id);
  // D-Bus's copy of the same id gives the same registration.
  fs::remove(at("etc/machine-id"));
  writeFile(at("var/lib/dbus/machine-id"), "5c1f0e9a7b3d4e2f8a6b0c1d2e3f4a5b\n");
  EXPECT_EQ(registration::registrationId(dir.string()), id);
  // Another machine, another id.
  writeFile(at("etc/machine-id"), "00000000000000000000000000000001\n");
  EXPECT_NE(registration::registrationId(dir.string()), id);
}

TEST_F(RegistrationId, WithoutAMachineIdFallsBackToHostNameAndFirstMacAddress) {
  EXPECT_FALSE(registration::registrationId(dir.string()));
  writeFile(at("proc/sys/kernel/hostname"), "laptop.example.lan\n");
  writeFile(at("sys/class/net/lo/address"), "00:00:00:00:00:00\n");
  writeFile(at("sys/class/net/wlp2s0/address"), "f8:34:41:01:02:03\n");
  const auto id = registration::registrationId(dir.string());
  ASSERT_TRUE(id);
  EXPECT_GT(*id, 0);
  writeFile(at("sys/class/net/wlp2s0/address"), "f8:34:41:01:02:04\n");
  EXPECT_NE(registration::registrationId(dir.string()), id);
  EXPECT_EQ(registration::hostName(dir.string()), "laptop");
}

using RegisterMachine = TempRoot;

TEST_F(RegisterMachine, WritesIdAndNameIntoMachineInfoAndKeepsEverythingElse) {
  const std::string settings = at("settings.plist");
  writeFile(settings, readFile(fixture("tools/unregistered_settings.plist")));
  EXPECT_EQ(registration::registerMachine(settings, 6266218503289787322, "vm"), registration::Outcome::Registered);
  EXPECT_EQ(readFile(settings), readFile(fixture("tools/registered_settings.plist")));
  EXPECT_EQ(fs::directory_iterator(dir)->path().filename(), "settings.plist");  // no temporary left behind
}

TEST_F(RegisterMachine, LeavesARegisteredMachineAndUnreadableFilesAlone) {
  const std::string settings = at("settings.plist");
  const std::string registered = readFile(fixture("tools/registered_settings.plist"));
  writeFile(settings, registered);
  EXPECT_EQ(registration::registerMachine(settings, 99, "vm"), registration::Outcome::AlreadyRegistered);
  EXPECT_EQ(readFile(settings), registered);

  for (const std::string& broken :
       {std::string("not a property list"), std::string("<plist version=\"1.0\"><array/></plist>\n"),
        std::string("<plist version=\"1.0\"><dict><key>machineinfo</key><string>x</string></dict></plist>\n")}) {
    writeFile(settings, broken);
    EXPECT_EQ(registration::registerMachine(settings, 99, "vm"), registration::Outcome::Failed) << broken;
    EXPECT_EQ(readFile(settings), broken);
  }
  fs::remove(settings);
  EXPECT_EQ(registration::registerMachine(settings, 99, "vm"), registration::Outcome::Failed);
  EXPECT_FALSE(fs::exists(settings));
}

TEST(RegistrationRun, AnUnregisteredSandboxRunRegistersThroughTheStandInAndGoesOn) {
  BRIM_REQUIRE_ROOT();
  Sandbox sandbox;
  sandbox.writeSettings(0);
  sandbox.writeBuildDate();
  fs::copy_file(std::string(BRIM_BIN_DIR) + "/brim_register", sandbox.path("bin/brim_register"));
  const auto id = registration::registrationId("/");
  ASSERT_TRUE(id);

  const RunResult result = sandbox.run({"-PerfCollect"});
  EXPECT_EQ(result.exitStatus, 0);
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
