// libcurl is opened by the first post, not by the loader: jobs that never post
// must not pay for it, and a machine without it still runs every other job.
#include "http/CurlLibrary.h"

#include <dlfcn.h>
#include <gmock/gmock.h>

#include "http/ASIHTTPRequest.h"
#include "net/Communications.h"
#include "platform/LateLibrary.h"
#include "support/LoopbackPeers.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

// A library that is not there, or one without curl's functions, is refused
// with the loader's reason; every post then fails as if the connection had.
TEST(CurlLibraryLoading, WithoutItTheLoaderSaysWhyAndEveryPostFailsAsIfTheConnectionHad) {
  // The loader's reason in the system's own words.
  ASSERT_EQ(::dlopen("libcurl-absent.so.4", RTLD_NOW), nullptr);
  const std::string missingReason = ::dlerror();
  std::string reason;
  EXPECT_EQ(CurlLibrary::open(std::string(LateLibrary::fileOf(LateLibrary::Name::kZlib)), reason), nullptr);
  EXPECT_THAT(reason, ::testing::HasSubstr("curl_global_init"));

  Sandbox sandbox;
  sandbox.writeBuildDate();
  SandboxRoot root{sandbox};
  RawTcpServer server{[](int, int, const std::atomic<bool>&) {}};
  CurlLibrary::useForTesting("libcurl-absent.so.4");
  EXPECT_EQ(CurlLibrary::get(), nullptr);
  EXPECT_THAT(loggedMessages(),
              ::testing::Contains("+[LateLibrary open:]:cannot load libcurl, HTTP requests fail: " + missingReason));

  ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(server.url("/post"));
  request.appendPostData("x");
  request.startSynchronous();
  // No assertion may end the test early: the real library must come back below.
  const ASIError error = request.error().value_or(ASIError{});
  EXPECT_EQ(error.code, 1);
  EXPECT_EQ(error.localizedDescription, "A connection failure occurred");
  EXPECT_EQ(error.underlyingError, "libcurl is unavailable: " + missingReason);
  EXPECT_EQ(Communications::initWithBaseURLString(server.url("/post")).sendDataToURLString("?a=1", "x"), std::nullopt);
  EXPECT_EQ(server.connections(), 0);
  CurlLibrary::useForTesting(std::nullopt);
}

TEST(CurlLibraryLoading, TheToolDoesNotNeedItToStart) {
  BRIM_LINUX_ONLY("reads the ELF dynamic section; scripts/check-macos-build.sh lists the Mach-O imports");
  const std::string dynamicSection = shellOutput("readelf -d '" BRIM_BIN_DIR "/brim_asset'");
  ASSERT_THAT(dynamicSection, ::testing::HasSubstr("(NEEDED)"));
  // Nor SQLite, zlib or libcrypto: the jobs that call them open them.
  for (const char* library : {"libcurl", "libsqlite3", "libz.", "libcrypto"}) {
    EXPECT_THAT(dynamicSection, ::testing::Not(::testing::HasSubstr(library)));
  }
}

}  // namespace
}  // namespace brim::test
