#include "app/EntryPoint.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>

#include "config/GlobalPreferences.h"
#include "platform/Paths.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class EntryPointRun : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox.writeBuildDate();
    sandbox.writeSettings(4711);
  }
  bool lockExists() const { return std::filesystem::exists(sandbox.path("bin/brim_asset.lock")); }
  Sandbox sandbox;
};

// An unknown option, two valid ones, or a performance option (not this tool's
// job): the usage text, under the lock.
TEST_F(EntryPointRun, WrongParametersAreAnsweredWithTheUsageTextUnderTheLock) {
  BRIM_REQUIRE_ROOT();
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-Software"},
       "argc=2\n"
       "int main(int, const char **):Wrong Parameter (\n    \"-Software\"\n) specified in command\n"},
      {{"-software", "-macName"},
       "argc=3\n"
       "int main(int, const char **):Wrong Parameter (\n    \"-software\",\n    "
       "\"-macName\"\n) specified in command\n"},
      {{"-PerfCollect"}, "Wrong Parameter (\n    \"-PerfCollect\"\n) specified in command\n"},
  };
  const std::string usage = readFile(fixture("app/usage.txt"));
  for (const auto& [args, wrong] : cases) {
    const RunResult result = sandbox.run(args);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(contains(result.output, wrong +
                                            "int main(int, const char **):Use following commands for asset "
                                            "collection\n" +
                                            usage))
        << result.output;
    EXPECT_FALSE(lockExists());
  }
  const std::string log = sandbox.readLog();
  EXPECT_TRUE(contains(log, "int main(int, const char **):Lock Created")) << log;
  EXPECT_TRUE(contains(log, "int main(int, const char **):Lock Removed")) << log;
}

TEST_F(EntryPointRun, AnotherUserGetsExitStatusZeroAndNothingWritten) {
  BRIM_REQUIRE_ROOT();
  // The sandbox must be reachable for the unprivileged user, or the test proves nothing.
  ::chmod(sandbox.root().c_str(), 0755);
  const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups env BRIM_SANDBOX_ROOT='" +
                              sandbox.root() + "' BRIM_SANDBOX_NO_DELAY=1 '" + BRIM_BIN_DIR +
                              "/brim_asset_sandbox' -software >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(sandbox.listDir("log"), std::vector<std::string>{"build_date"});
  EXPECT_TRUE(sandbox.listDir("bin").empty());
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
}

TEST_F(EntryPointRun, RegistrationThatWritesAnIdLetsTheRunGoOn) {
  BRIM_REQUIRE_ROOT();
  sandbox.writeSettings(0);
  // A registration tool that rewrites the settings file with a new id.
  const std::string settings = sandbox.path("config/settings.plist");
  const std::string replacement = readFile(settings);
  std::string withId = replacement;
  withId.replace(withId.find("<integer>0</integer>"), 20, "<integer>4712</integer>");
  writeFile(sandbox.path("config/registered.plist"), withId);
  sandbox.writeExecutable(sandbox.path("bin/brim_register"),
                          "#!/bin/sh\ncp '" + sandbox.path("config/registered.plist") + "' '" + settings + "'\n");

  const RunResult result = sandbox.run({"-Software"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_TRUE(contains(result.output, "int main(int, const char **):regid=0\n")) << result.output;
  EXPECT_TRUE(contains(result.output, "int main(int, const char **):agentInstallPath=" + sandbox.installDir()));
  EXPECT_TRUE(contains(result.output, "int main(int, const char **):current regid=4712\n")) << result.output;
  EXPECT_TRUE(contains(result.output, "Lock Created"));
  EXPECT_TRUE(contains(result.output, "Wrong Parameter"));
}

// A registration id that is no integer in range (here a NaN) reads as 0: not registered.
TEST_F(EntryPointRun, RegistrationThatWritesNothingStopsBeforeTheLock) {
  BRIM_REQUIRE_ROOT();
  sandbox.writeSettings(0);
  std::string settings = readFile(sandbox.path("config/settings.plist"));
  writeFile(sandbox.path("config/settings.plist"), settings.replace(settings.find("<integer>0<"), 10, "<real>nan<"));
  sandbox.writeExecutable(sandbox.path("bin/brim_register"), "#!/bin/sh\nexit 3\n");
  const RunResult result = sandbox.run({});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_TRUE(contains(result.output, "int main(int, const char **):regid=0\n")) << result.output;
  EXPECT_TRUE(contains(result.output, "int main(int, const char **):RegID is still 0, exiting")) << result.output;
  EXPECT_FALSE(contains(result.output, "Lock Created"));
  EXPECT_FALSE(contains(result.output, "asset data collection"));
  EXPECT_TRUE(sandbox.listDir("datapost").empty());
}

TEST(StartDelay, StaysWithinOneToSixSeconds) {
  EXPECT_EQ(EntryPoint::startDelay(0), 1000000u);
  EXPECT_EQ(EntryPoint::startDelay(4999999), 5999999u);
  EXPECT_EQ(EntryPoint::startDelay(5000000), 1000000u);
  EXPECT_EQ(EntryPoint::startDelay(UINT32_MAX), 5967295u);
  for (uint32_t r = 0; r < 4000000000u; r += 7919u * 1013u) {
    const uint32_t d = EntryPoint::startDelay(r);
    ASSERT_GE(d, 1000000u);
    ASSERT_LT(d, 6000000u);
  }
}

// The lock wait runs in-process with an injected sleep, so no test waits a minute.
class LockWait : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox.writeBuildDate();
    sandbox.writeSettings(4711);
    inProcess.emplace(sandbox);
    writeFile(lockPath(), "");
  }
  void TearDown() override { inProcess.reset(); }
  std::string lockPath() const { return sandbox.path("bin/brim_asset.lock"); }

  EntryPoint::Hooks hooks(std::function<void(uint32_t)> sleep) const {
    EntryPoint::Hooks h;
    h.userName = [] { return std::string("root"); };
    h.random = [] { return 0u; };
    h.sleepMicros = std::move(sleep);
    h.skipStartDelay = true;
    return h;
  }
  Sandbox sandbox;
  std::optional<SandboxInProcess> inProcess;
};

TEST_F(LockWait, ALockNobodyRemovesIsTakenOverAfterSixHundredTests) {
  std::vector<uint32_t> sleeps;
  const int status = EntryPoint(hooks([&](uint32_t micros) { sleeps.push_back(micros); })).run({"-wrong"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(sleeps, std::vector<uint32_t>(600, 100000u));
  EXPECT_FALSE(std::filesystem::exists(lockPath()));  // taken over, then removed at the end
}

TEST_F(LockWait, TheJobStartsAsSoonAsTheEarlierRunRemovesItsLock) {
  int sleeps = 0;
  const int status = EntryPoint(hooks([&](uint32_t) {
                       if (++sleeps == 5) std::filesystem::remove(lockPath());
                     })).run({"-wrong"});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(sleeps, 5);
  const std::string log = readFile(sandbox.path("log/test_app.log"));
  EXPECT_TRUE(contains(log, "Waiting for another instance of brim_asset to finish")) << log;
}

}  // namespace
}  // namespace brim::test
