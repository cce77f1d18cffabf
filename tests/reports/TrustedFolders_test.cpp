// Root writes only into folders root alone can write, and only through the
// folder it checked: planted links, folders of other users and a data-post
// folder swapped for a link while the run writes leave nothing outside.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#ifdef __APPLE__
#include <sys/stdio.h>
#endif
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include "config/RunFolder.h"
#include "platform/DateTime.h"
#include "reports/ConsolidatedAssets.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kMain = "int main(int, const char **):";

// Swaps what two names name, in one step.
bool exchange(const std::string& a, const std::string& b) {
#ifdef __APPLE__
  return ::renamex_np(a.c_str(), b.c_str(), RENAME_SWAP) == 0;
#else
  return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
#endif
}

class TrustedFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "the rule asks for folders of root";
    sandbox.installRecordedMac();
    fs::create_directories(outside);
  }
  bool outsideEmpty() const { return fs::is_empty(outside); }
  Sandbox sandbox;
  const std::string outside = sandbox.root() + "/outside";
};

// A folder others may write to fails the job before anything is written, with
// one line naming the folder and what to fix; a sticky folder shared by all
// (as /tmp is) is no exception.
TEST_F(TrustedFolders, AFolderOthersMayWriteFailsTheJobBeforeItStarts) {
  for (const auto& broken : fixtureCases("reports/untrusted-folders.cases", 4)) {
    SCOPED_TRACE(broken[1]);
    const std::string folder = sandbox.path(broken[1]);
    ASSERT_EQ(::chmod(folder.c_str(), std::stoi(broken[2], nullptr, 8)), 0);
    ASSERT_EQ(::chown(folder.c_str(), broken[2] == "755" ? 65534 : 0, 0), 0);
    const RunResult result = sandbox.runExpecting(255, {"-ProcCollect"});
    EXPECT_THAT(result.output, HasSubstr(kMain + "The " + broken[0] + " folder cannot be used, " + folder + " " +
                                         broken[3] + " " + folder + "; nothing is run\n"));
    EXPECT_THAT(result.output, Not(HasSubstr("Lock Created")));
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    ASSERT_EQ(::chown(folder.c_str(), 0, 0), 0);
  }
  sandbox.runExpecting(0, {"-ProcCollect"});
}

// A folder named brim_asset.lock is said to be what it is; no lock is claimed
// over it, none is removed at the end, and the folder stays.
TEST_F(TrustedFolders, ARunLockThatIsAFolderIsLoggedAsSuch) {
  const std::string lock = sandbox.path("bin/brim_asset.lock");
  fs::create_directory(lock);
  const RunResult result = sandbox.runExpecting(0, {"-wrong"});
  EXPECT_THAT(result.output, HasSubstr(kMain + "refused " + lock + ": a folder is there, not a file\n"));
  EXPECT_THAT(result.output, HasSubstr(kMain + "Lock not created: cannot remove " + lock));
  EXPECT_THAT(result.output, Not(HasSubstr("Lock Created")));
  EXPECT_THAT(result.output, Not(HasSubstr("Lock Removed")));
  EXPECT_TRUE(fs::is_directory(lock));
}

// The process day log's folders, under a month folder another user owns or
// with PRS a link out of the data folder: the report is still saved for the
// uploader, the day log is written nowhere, and the log says why.
TEST_F(TrustedFolders, APlantedDayLogFolderIsNeverWrittenThrough) {
  const std::string month = sandbox.path("data/MacBook Pro/" + DateTime::dateStringOf(DateTime::now(), "MMyyyy"));
  const struct {
    uid_t monthOwner;
    std::string why;
  } cases[] = {
      {65534, month + " belongs to user 65534, not root: chown root " + month},
      {0, month + "/PRS is a symbolic link: replace it by the folder or file it names"},
  };
  for (const auto& planted : cases) {
    SCOPED_TRACE(planted.why);
    fs::remove_all(sandbox.path("data/MacBook Pro"));
    fs::create_directories(month);
    ASSERT_EQ(::chown(month.c_str(), planted.monthOwner, 0), 0);
    fs::create_directory_symlink(outside, month + "/PRS");
    {
      SandboxInProcess inProcess(sandbox);
      ConsolidatedAssets assets;
      assets.ProcsAssetString = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wpmacpradatahr></wpmacpradatahr>";
      EXPECT_TRUE(assets.WriteProcDataforDatapost());
      RunFolder::remove();
      EXPECT_THAT(loggedMessages(), testing::Contains(HasSubstr("cannot create " + month + "/PRS: " + planted.why)));
    }
    EXPECT_TRUE(outsideEmpty());
    EXPECT_EQ(sandbox.listDir("datapost").size(), 1u);
    fs::remove_all(sandbox.path("datapost"));
    fs::create_directory(sandbox.path("datapost"));
  }
}

// The data-post folder swapped for a link to elsewhere and back, over and
// over, while the run writes its files: each write lands in the data-post
// folder it checked, or is refused; none goes through the link.
TEST_F(TrustedFolders, ADataPostFolderSwappedForALinkWritesNothingOutside) {
  const std::string datapost = sandbox.path("datapost");
  const std::string decoy = sandbox.path("decoy");
  fs::create_directory_symlink(outside, decoy);
  SandboxInProcess inProcess(sandbox);
  ConsolidatedAssets assets;
  assets.assetString1 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wpmacasstinfo></wpmacasstinfo>";

  std::mutex swapping;
  std::atomic<bool> stop = false;
  std::atomic<int> swaps = 0;
  std::thread swapper([&] {
    while (!stop) {
      const std::lock_guard guard(swapping);
      if (exchange(datapost, decoy)) ++swaps;
    }
  });
  constexpr int kWrites = 150;
  int written = 0;
  int found = 0;
  for (int write = 0; write < kWrites; ++write) {
    if (assets.writeDataForDataPost()) ++written;
    // Taken away, as the uploader would, wherever the real folder is now: the
    // next write need not wait for the next second.
    const std::lock_guard guard(swapping);
    for (const std::string& name : {datapost, decoy}) {
      if (fs::is_symlink(name)) continue;
      for (const auto& entry : fs::directory_iterator(name)) {
        found += entry.path().filename().string().starts_with("wpmacasstinfo_4711_") ? 1 : 0;
        fs::remove(entry.path());
      }
    }
  }
  stop = true;
  swapper.join();
  RunFolder::remove();
  EXPECT_TRUE(outsideEmpty());
  EXPECT_EQ(found, written);
  EXPECT_GT(swaps, 0);
}

}  // namespace
}  // namespace brim::test
