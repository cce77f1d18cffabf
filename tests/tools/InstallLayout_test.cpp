// `cmake --install` lays out the agent's directory; a second install keeps the
// agent's settings, which the registration tool has written into meanwhile.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "platform/Plist.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {
namespace fs = std::filesystem;

class InstallLayout : public ::testing::Test {
 protected:
  int install() const {
    const std::string buildDir = fs::path(BRIM_BIN_DIR).parent_path().string();
    return std::system(("DESTDIR='" + destdir.string() + "' cmake --install '" + buildDir + "' >/dev/null").c_str());
  }
  std::string agent(const std::string& relative) const {
    return (destdir / "opt/local/share/brimvault_mac" / relative).string();
  }
  Sandbox scratch;
  const fs::path destdir = scratch.root() + "/destdir";
};

// A second install keeps the settings, which the registration tool has written into meanwhile.
TEST_F(InstallLayout, LaysOutTheAgentDirectoryAndAReinstallKeepsItsSettings) {
  ASSERT_EQ(install(), 0);
  for (const char* program : {"bin/brim_asset", "bin/brim_register", "bin/system_profiler"}) {
    struct stat info {};
    ASSERT_EQ(::stat(agent(program).c_str(), &info), 0) << program;
    EXPECT_TRUE(info.st_mode & S_IXUSR) << program;
  }
  for (const char* dir : {"temp", "log", "data", "datapost"}) EXPECT_TRUE(fs::is_directory(agent(dir))) << dir;
  EXPECT_FALSE(readFile(agent("log/build_date")).empty());
  EXPECT_TRUE(fs::exists(destdir / "usr/local/bin/system_profiler"));

  Plist settings = readPlistFile(agent("config/settings.plist"));
  plist_t folders = plistDictItem(settings.get(), "macfolders");
  EXPECT_EQ(plistString(plistDictItem(folders, "agentinstallpathabsolute")), "/opt/local/share/brimvault_mac");
  for (const auto& [key, value] : {std::pair{"executabledirrelative", "bin"},
                                   {"tempdirrelative", "temp"},
                                   {"logdirrelative", "log"},
                                   {"datadirrelative", "data"},
                                   {"datapostdirrelative", "datapost"},
                                   {"configdirrelative", "config"}})
    EXPECT_EQ(plistString(plistDictItem(folders, key)), value) << key;
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
  for (const auto& [job, command, timeout] : {std::tuple{"inventory", "brim_asset\n", "4h"},
                                              {"software", "brim_asset -software\n", "90min"},
                                              {"proccollect", "brim_asset -ProcCollect\n", "30min"},
                                              {"procsave", "brim_asset -ProcSave\n", "30min"},
                                              {"smartstatus", "brim_asset -smartstatus\n", "45min"},
                                              {"macname", "brim_asset -macName\n", "90min"}}) {
    const std::string service = readFile((units / ("brim-asset-" + std::string(job) + ".service")).string());
    EXPECT_NE(service.find("ExecStart=/opt/local/share/brimvault_mac/bin/" + std::string(command)), std::string::npos)
        << job;
    EXPECT_NE(service.find("\nTimeoutStartSec=" + std::string(timeout) + "\n"), std::string::npos) << job;
    EXPECT_TRUE(fs::exists(units / ("brim-asset-" + std::string(job) + ".timer"))) << job;
  }

  std::string registered = readFile(agent("config/settings.plist"));
  registered.replace(registered.find("<integer>0</integer>"), 20, "<integer>4711</integer>");
  writeFile(agent("config/settings.plist"), registered);
  writeFile(agent("config/webposts.plist"), "<plist><dict><key>x</key><dict/></dict></plist>\n");
  ASSERT_EQ(install(), 0);
  EXPECT_EQ(readFile(agent("config/settings.plist")), registered);
  EXPECT_EQ(readFile(agent("config/webposts.plist")), "<plist><dict><key>x</key><dict/></dict></plist>\n");
}

}  // namespace
}  // namespace brim::test
