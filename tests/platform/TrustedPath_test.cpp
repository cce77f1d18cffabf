#include "platform/TrustedPath.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/Sandbox.h"

namespace brim::test {
namespace {

// One tree, each path in it checked from the sandbox root (which stands for
// "/"): what passes, and for what fails, the words of the log line that say
// what to fix.
TEST(TrustedPath, RootsOwnUnwritableUnlinkedPathPassesFromTheTopDown) {
  BRIM_REQUIRE_ROOT();
  Sandbox sandbox;
  SandboxRoot root(sandbox);
  const std::string agent = sandbox.installDir();
  sandbox.writeExecutable(sandbox.path("bin/brim_register"), "#!/bin/sh\n");
  sandbox.writeExecutable(sandbox.path("bin/theirs"), "#!/bin/sh\n");
  ASSERT_EQ(::chown(sandbox.path("bin/theirs").c_str(), 65534, 65534), 0);
  std::filesystem::create_directories(sandbox.path("shared/inner"));
  ASSERT_EQ(::chmod(sandbox.path("shared").c_str(), 01777), 0);  // sticky, like /tmp
  std::filesystem::create_directories(sandbox.path("group/inner"));
  ASSERT_EQ(::chmod(sandbox.path("group").c_str(), 0775), 0);
  std::filesystem::create_directory_symlink(sandbox.path("bin"), sandbox.path("linked"));

  for (const auto& c : fixtureCases("platform/trusted-paths.cases", 2)) {
    const std::string path = sandbox.expand(c[0]), why = sandbox.expand(c[1]);
    if (path == "/proc/self/exe") BRIM_LINUX_ONLY_CASE("a Mac has no /proc");
    const std::optional<std::string> found = TrustedPath::whyUntrustedForRoot(path);
    if (why.empty()) {
      EXPECT_EQ(found, std::nullopt) << path;
    } else {
      EXPECT_NE(found.value_or("").find(why), std::string::npos) << path << "\n" << found.value_or("(passes)");
    }
  }
  EXPECT_NE(TrustedPath::whyUntrusted(agent, agent + "/bin").value_or("").find("is not under"), std::string::npos);
}

}  // namespace
}  // namespace brim::test
