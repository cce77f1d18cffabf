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
  const std::string top = sandbox.root();
  const std::string agent = sandbox.installDir();
  sandbox.writeExecutable(sandbox.path("bin/brim_register"), "#!/bin/sh\n");
  sandbox.writeExecutable(sandbox.path("bin/theirs"), "#!/bin/sh\n");
  ASSERT_EQ(::chown(sandbox.path("bin/theirs").c_str(), 65534, 65534), 0);
  std::filesystem::create_directories(sandbox.path("shared/inner"));
  ASSERT_EQ(::chmod(sandbox.path("shared").c_str(), 01777), 0);  // sticky, like /tmp
  std::filesystem::create_directories(sandbox.path("group/inner"));
  ASSERT_EQ(::chmod(sandbox.path("group").c_str(), 0775), 0);
  std::filesystem::create_directory_symlink(sandbox.path("bin"), sandbox.path("linked"));

  const std::pair<std::string, std::string> cases[] = {
      {sandbox.path("bin/brim_register"), ""},
      {sandbox.path("bin"), ""},
      {top, ""},
      {sandbox.path("bin/theirs"), "belongs to user 65534, not root: chown root " + sandbox.path("bin/theirs")},
      {sandbox.path("shared/inner"), sandbox.path("shared") + " (mode 1777) may be changed by users other than root"},
      {sandbox.path("group/inner"), "chmod go-w " + sandbox.path("group")},
      {sandbox.path("linked/brim_register"), sandbox.path("linked") + " is a symbolic link"},
      {sandbox.path("bin/missing"), sandbox.path("bin/missing") + ": No such file or directory"},
      {sandbox.path("shared/../bin/brim_register"), "goes through \"..\""},
      {sandbox.path("./bin"), "goes through \".\""},
      {agent + std::string("/bin\0/x", 7), "\"" + agent + "/bin\" holds a NUL"},
      {"(null)/(null)/brim_register", "\"(null)/(null)/brim_register\" is not an absolute path"},
      // Outside the sandbox root the check starts at "/".
      {"/proc/self/exe", "/proc/self is a symbolic link"},
  };
  for (const auto& [path, why] : cases) {
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
