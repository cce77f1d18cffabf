// Folders walked and held by descriptor, and what the file calls do below them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <tuple>
#include <vector>

#include "platform/FileReplacement.h"
#include "platform/FileSystem.h"
#include "platform/TrustedPath.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

namespace fs = std::filesystem;

// The names in dir, sorted.
std::vector<std::string> names(const std::string& dir) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir)) found.push_back(entry.path().filename());
  std::sort(found.begin(), found.end());
  return found;
}

class TrustedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "the rule asks for folders of root";
  }
  std::string at(const std::string& relative) const { return sandbox.root() + "/" + relative; }
  std::optional<TrustedFolder> open(const std::string& relative, bool make = false) {
    why.clear();
    return TrustedFolder::open(at(relative), why, make);
  }
  Sandbox sandbox;
  SandboxRoot root{sandbox};
  std::string why;
};

// Each folder on the way is judged as the path rule judges it, and the log
// line says what to fix; a folder the walk makes is root's alone to write.
TEST_F(TrustedFolderTest, EveryFolderOnTheWayPassesOrIsRefusedWithWhatToFix) {
  for (const char* dir : {"sticky/in", "open/in", "theirs/in", "group/in", "real/in"}) fs::create_directories(at(dir));
  ASSERT_EQ(::chmod(at("sticky").c_str(), 01777), 0);
  ASSERT_EQ(::chmod(at("open").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(at("group").c_str(), 0770), 0);
  ASSERT_EQ(::chown(at("theirs").c_str(), 65534, 65534), 0);
  fs::create_directory_symlink(at("real"), at("linked"));
  writeFile(at("file"), "");
  ::mkfifo(at("pipe").c_str(), 0600);

  for (const auto& c : fixtureCases("platform/trusted-folders.cases", 2)) {
    const std::string &relative = c[0], expected = sandbox.expand(c[1]);
    const std::optional<TrustedFolder> folder = open(relative);
    if (expected.empty()) {
      ASSERT_TRUE(folder) << relative << ": " << why;
      EXPECT_EQ(folder->path(), at(relative));
    } else {
      EXPECT_FALSE(folder) << relative;
      EXPECT_NE(why.find(expected), std::string::npos) << relative << "\n" << why;
    }
  }

  // Made where missing, whatever the umask; never through a link or a refused folder.
  const mode_t umask = ::umask(0);
  const std::optional<TrustedFolder> made = open("real/a/b", true);
  ::umask(umask);
  ASSERT_TRUE(made) << why;
  struct stat st {};
  ASSERT_EQ(::stat(at("real/a/b").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_FALSE(open("linked/made", true));
  EXPECT_FALSE(open("sticky/made", true));
  EXPECT_FALSE(fs::exists(at("real/made")));
  EXPECT_FALSE(fs::exists(at("sticky/made")));
  for (const char* name : {"..", ".", "a/b", ""}) {
    EXPECT_FALSE(made->enter(name, why, true)) << name;
    EXPECT_NE(why.find("is not one plain folder name"), std::string::npos) << why;
  }
}

// The folder held is the folder written: once it is checked, swapping its
// path for a link to elsewhere moves no write there. Appends, new files,
// removals and the run's private folder all go through the descriptor.
TEST_F(TrustedFolderTest, WritesGoWhereTheCheckedFolderIsWhateverItsPathNamesLater) {
  fs::create_directories(at("data/PRS"));
  fs::create_directories(at("outside"));
  std::optional<TrustedFolder> held = open("data/PRS");
  ASSERT_TRUE(held) << why;
  const std::optional<TrustedFolder> staging = open("data");
  fs::rename(at("data/PRS"), at("data/moved"));
  fs::create_directory_symlink(at("outside"), at("data/PRS"));

  EXPECT_TRUE(FileSystem::appendDurably(*held, "PRS_12062026.log", "one\n", why));
  EXPECT_TRUE(FileSystem::appendDurably(*held, "PRS_12062026.log", "two\n", why));
  const auto name = [] { return std::string("wpmacpradatahr_4711_20261206050000"); };
  EXPECT_EQ(FileSystem::writeNewFile(*held, name, "<doc/>", why, &*staging), name());
  const std::optional<TrustedFolder> run = FileSystem::makePrivateFolder(*held, "autodelete_run.", why);
  ASSERT_TRUE(run);
  const std::string runName = run->path().substr(run->path().rfind('/') + 1);
  EXPECT_TRUE(FileSystem::isSameFolder(*held, runName, *run));
  EXPECT_FALSE(FileSystem::isSameFolder(*staging, "moved", *run));
  struct stat st {};
  ASSERT_EQ(::fstat(run->fd(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  writeFile(at("data/moved/" + runName + "/left"), "x");

  EXPECT_TRUE(fs::is_empty(at("outside")));
  EXPECT_EQ(readFile(at("data/moved/PRS_12062026.log")), "one\ntwo\n");
  EXPECT_EQ(readFile(at("data/moved/" + name())), "<doc/>");
  // Staged aside and linked in: nothing hidden is left in either folder.
  EXPECT_EQ(names(at("data")), (std::vector<std::string>{"PRS", "moved"}));
  EXPECT_TRUE(FileSystem::removeTree(*held, runName, why));
  EXPECT_FALSE(fs::exists(at("data/moved/" + runName)));

  // A name taken by something that is not a file of ours is refused, not written through.
  fs::create_symlink(at("outside/victim"), at("data/moved/PRS_12072026.log"));
  EXPECT_FALSE(FileSystem::appendDurably(*held, "PRS_12072026.log", "three\n", why));
  EXPECT_NE(why.find("refused"), std::string::npos) << why;
  EXPECT_TRUE(fs::is_empty(at("outside")));
}

// What killed runs left goes, by descriptor; what is fresh or named otherwise stays.
TEST_F(TrustedFolderTest, StaleEntriesGoAndTheirLinksAreNotFollowed) {
  fs::create_directories(at("temp/autodelete_run.old/inner"));
  fs::create_directories(at("temp/autodelete_run.new"));
  fs::create_directories(at("outside"));
  writeFile(at("outside/kept"), "kept");
  fs::create_directory_symlink(at("outside"), at("temp/autodelete_run.link"));
  writeFile(at("temp/other"), "");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
  for (const char* name : {"temp/autodelete_run.old", "temp/other"}) fs::last_write_time(at(name), old);
  const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 7200, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, at("temp/autodelete_run.link").c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  const std::optional<TrustedFolder> temp = open("temp");
  ASSERT_TRUE(temp) << why;

  FileSystem::removeStaleEntries(*temp, "autodelete_run.", std::chrono::hours(1));
  EXPECT_EQ(names(at("temp")), (std::vector<std::string>{"autodelete_run.new", "other"}));
  EXPECT_EQ(readFile(at("outside/kept")), "kept");
}

// The settings write-back's last look: a file rewritten or replaced since its
// stamp was taken is left as the other writer made it.
TEST_F(TrustedFolderTest, AReplaceWaitsForNoWriterThatCameInBetween) {
  const std::string file = at("settings.plist");
  writeFile(file, "read");
  const std::optional<FileReplacement::Stamp> read = FileReplacement::stampOf(file);
  ASSERT_TRUE(read);
  writeFile(file, "theirs");  // same inode, new size and time
  EXPECT_EQ(FileReplacement::replaceIfUnchanged(file, "mine", read, why), FileReplacement::Outcome::Changed);
  EXPECT_EQ(readFile(file), "theirs");

  writeFile(at("other"), "replaced");
  const std::optional<FileReplacement::Stamp> again = FileReplacement::stampOf(file);
  fs::rename(at("other"), file);  // a new inode at the name
  EXPECT_EQ(FileReplacement::replaceIfUnchanged(file, "mine", again, why), FileReplacement::Outcome::Changed);
  EXPECT_EQ(FileReplacement::replaceIfUnchanged(file, "mine", std::nullopt, why), FileReplacement::Outcome::Changed);
  EXPECT_EQ(readFile(file), "replaced");

  EXPECT_EQ(FileReplacement::replaceIfUnchanged(file, "mine", FileReplacement::stampOf(file), why),
            FileReplacement::Outcome::Done);
  EXPECT_EQ(readFile(file), "mine");
  EXPECT_EQ(FileReplacement::replaceIfUnchanged(at("new.plist"), "new", std::nullopt, why),
            FileReplacement::Outcome::Done);
  const std::vector<std::string> left = names(sandbox.root());
  EXPECT_EQ(std::count_if(left.begin(), left.end(), [](const std::string& n) { return n.starts_with("."); }), 0);
}

// A new file that cannot be made: the result says what the caller acts on
// (wait, refuse, or ask whoever owns the folder), why what its log says, and a
// call that succeeds leaves why as it was.
TEST_F(TrustedFolderTest, ANewFileThatCannotBeMadeSaysWhatToDoAndWhy) {
  fs::create_directories(at("log/gone"));
  const std::optional<TrustedFolder> log = open("log");
  const std::optional<TrustedFolder> gone = open("log/gone");
  ASSERT_TRUE(log && gone) << why;
  fs::remove(at("log/gone"));
  writeFile(at("log/held.lock"), "");
  fs::create_symlink(at("elsewhere"), at("log/linked.lock"));

  using Create = FileSystem::Create;
  const std::tuple<const TrustedFolder*, std::string, Create, std::string> cases[] = {
      {&*log, "new.lock", Create::Made, "as it was"},
      {&*log, "held.lock", Create::Exists, "as it was"},
      {&*log, "linked.lock", Create::Foreign,
       "refused " + at("log/linked.lock") + ": a symbolic link is there, not a file"},
      {&*gone, "new.lock", Create::Denied, "cannot create " + at("log/gone/new.lock") + ": No such file or directory"},
  };
  for (const auto& [folder, name, created, said] : cases) {
    why = "as it was";
    EXPECT_EQ(FileSystem::createFile(*folder, name, why), created) << name;
    EXPECT_EQ(why, said) << name;
  }
  EXPECT_FALSE(fs::exists(at("elsewhere")));
}

}  // namespace
}  // namespace brim::test
