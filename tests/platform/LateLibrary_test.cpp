// Libraries opened late are refused whole when the file or one function is
// missing, with the loader's own reason in the log; what fails without them is
// told by their callers' tests (CurlLibraryLoading).
#include "platform/LateLibrary.h"

#include <gmock/gmock.h>
#include <zlib.h>

#include "support/Sandbox.h"

namespace brim::test {
namespace {

TEST(LateLibrary, RefusedWholeWithTheLoadersReason) {
  Sandbox sandbox;
  sandbox.writeBuildDate();
  SandboxRoot root{sandbox};
  constexpr const char* kPresent[] = {"zlibVersion"};
  constexpr const char* kLacking[] = {"zlibVersion", "zlibNoSuchFunction"};
  const LateLibrary::Declaration present{LateLibrary::Name::kZlib, "zlib", "compression fails", kPresent};
  const LateLibrary::Declaration lacking{LateLibrary::Name::kZlib, "zlib", "compression fails", kLacking};
  const std::string zlib(LateLibrary::fileOf(LateLibrary::Name::kZlib));
  const struct {
    const LateLibrary::Declaration& library;
    std::string file;
    std::string reason;  // what the system's loader says, in its own words
  } refused[] = {
      {present, "libz-absent.so.1", "libz-absent.so.1"},
      {lacking, zlib, "zlibNoSuchFunction"},
      {present, "", "zlib is not used on this system"},
  };
  for (const auto& c : refused) {
    std::string reason;
    EXPECT_EQ(LateLibrary::open(c.library, c.file, reason), nullptr) << c.file;
    EXPECT_THAT(reason, ::testing::HasSubstr(c.reason));
    EXPECT_THAT(loggedMessages(),
                ::testing::Contains("+[LateLibrary open:]:cannot load zlib, compression fails: " + reason));
  }

  std::string reason;
  const auto loaded = LateLibrary::open(present, zlib, reason);
  ASSERT_NE(loaded, nullptr) << reason;
  const auto version = loaded->function<decltype(&zlibVersion)>("zlibVersion");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(std::string(version()).substr(0, 2), "1.");
  EXPECT_EQ(loaded->function<decltype(&deflate)>("deflate"), nullptr);  // not declared
}

}  // namespace
}  // namespace brim::test
