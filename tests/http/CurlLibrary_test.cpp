// libcurl is opened by the first post, not by the loader: jobs that never post
// must not pay for it, and a machine without it still runs every other job.
#include "http/CurlLibrary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "RequestExpectations.h"
#include "http/ASIHTTPRequest.h"
#include "net/Communications.h"
#include "support/LoopbackPeers.h"
#include "support/Sandbox.h"
#include "support/SandboxRoot.h"

namespace brim::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kMissing = "libcurl-absent.so.4";
constexpr const char* kMissingReason = "libcurl-absent.so.4: cannot open shared object file: No such file or directory";

class WithoutCurl : public ::testing::Test {
 protected:
  WithoutCurl() {
    sandbox.writeBuildDate();
    CurlLibrary::useForTesting(kMissing);
  }
  ~WithoutCurl() override { CurlLibrary::useForTesting(std::nullopt); }

  Sandbox sandbox;
  SandboxRoot root{sandbox};
  RawTcpServer server{[](int fd, int, const std::atomic<bool>&) {
    RawTcpServer::readRequest(fd);
    RawTcpServer::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nOK");
  }};
};

TEST_F(WithoutCurl, TheLoaderSaysWhyAndEveryPostFailsAsIfTheConnectionHad) {
  EXPECT_EQ(CurlLibrary::get(), nullptr);
  EXPECT_THAT(loggedMessages(),
              Contains(std::string("+[CurlLibrary open:]:cannot load libcurl, HTTP requests fail: ") + kMissingReason));

  ASIHTTPRequest request = ASIHTTPRequest::requestWithURL(server.url("/post"));
  request.appendPostData("x");
  request.startSynchronous();
  expectError(request, 1, "A connection failure occurred");
  EXPECT_EQ(request.error()->underlyingError, std::string("libcurl is unavailable: ") + kMissingReason);

  EXPECT_EQ(Communications::initWithBaseURLString(server.url("/post")).sendDataToURLString("?a=1", "x"), std::nullopt);
  EXPECT_EQ(server.connections(), 0);
}

TEST(CurlLibraryLoading, ALibraryWithoutCurlsFunctionsIsRefusedWithTheMissingName) {
  std::string reason;
  EXPECT_EQ(CurlLibrary::open("libz.so.1", reason), nullptr);
  EXPECT_THAT(reason, HasSubstr("undefined symbol: curl_global_init"));
}

TEST(CurlLibraryLoading, TheToolDoesNotNeedItToStart) {
  const std::string command = "readelf -d '" + std::string(BRIM_BIN_DIR) + "/brim_asset'";
  std::string dynamicSection;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) dynamicSection.append(buffer, n);
    ::pclose(pipe);
  }
  ASSERT_THAT(dynamicSection, HasSubstr("(NEEDED)"));
  // Nor SQLite, zlib or libcrypto: the jobs that call them open them.
  for (const char* library : {"libcurl", "libsqlite3", "libz.", "libcrypto"}) {
    EXPECT_THAT(dynamicSection, Not(HasSubstr(library)));
  }
}

}  // namespace
}  // namespace brim::test
