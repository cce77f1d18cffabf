// The registration stand-in: a stable id per machine, written into the settings
// file without disturbing what the agent's other components keep there.
#include "Registration.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Plist.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {
namespace fs = std::filesystem;

class Registration : public ::testing::Test {
 protected:
  // A machine tree of its own, and the agent's settings in it.
  std::string at(const std::string& relative) const { return sandbox.root() + "/" + relative; }
  std::optional<int64_t> idOfThisTree() const { return registration::registrationId(sandbox.root()); }
  Sandbox sandbox;
};

// The id comes from the machine id (or D-Bus's copy of it) and is the same on
// every run; without one, from the host name and the first real MAC address.
TEST_F(Registration, TheIdIsStableAndFollowsTheMachineIdElseHostNameAndMacAddress) {
  EXPECT_FALSE(idOfThisTree());
  writeFile(at("proc/sys/kernel/hostname"), "laptop.example.lan\n");
  writeFile(at("sys/class/net/lo/address"), "00:00:00:00:00:00\n");
  writeFile(at("sys/class/net/wlp2s0/address"), "f8:34:41:01:02:03\n");
  const auto fromHost = idOfThisTree();
  ASSERT_TRUE(fromHost);
  EXPECT_GT(*fromHost, 0);
  writeFile(at("sys/class/net/wlp2s0/address"), "f8:34:41:01:02:04\n");
  EXPECT_NE(idOfThisTree(), fromHost);
  EXPECT_EQ(registration::hostName(sandbox.root()), "laptop");

  writeFile(at("var/lib/dbus/machine-id"), "5c1f0e9a7b3d4e2f8a6b0c1d2e3f4a5b\n");
  const auto id = idOfThisTree();
  ASSERT_TRUE(id);
  EXPECT_GT(*id, 0);
  writeFile(at("etc/machine-id"), "5c1f0e9a7b3d4e2f8a6b0c1d2e3f4a5b\n");
  EXPECT_EQ(idOfThisTree(), id);
  writeFile(at("etc/machine-id"), "00000000000000000000000000000001\n");
  EXPECT_NE(idOfThisTree(), id);
}

// Id and name go into "machineinfo" and everything else stays; a registered
// machine and files it cannot read are left alone.
TEST_F(Registration, WritesIdAndNameIntoMachineInfoOnlyOfAnUnregisteredMachine) {
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
