#include "support/Sandbox.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#ifdef __linux__
#include <sys/mount.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "config/GlobalPreferences.h"
#include "envelope/EncryptionAES.h"
#include "platform/CustomLogger.h"
#include "platform/DateTime.h"
#include "platform/Paths.h"

namespace brim::test {
namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string replacedAll(std::string text, const std::vector<std::pair<std::string, std::string>>& marks) {
  for (const auto& [from, to] : marks) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
  }
  return text;
}

std::ptrdiff_t occurrences(const std::string& text, const std::regex& pattern) {
  return std::distance(std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator());
}

std::string plistDocument(const std::string& rootEntries) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + rootEntries +
         "</dict>\n</plist>\n";
}

std::string encrypted(const std::string& text, const std::string& passPhrase) {
  return EncryptionAES().encryptChilkat(text, passPhrase);
}

std::string stdoutOf(const std::function<void()>& action) {
  ::testing::internal::CaptureStdout();
  action();
  return ::testing::internal::GetCapturedStdout();
}

std::string nestedArrays(size_t levels, const std::string& inner) {
  std::string open, close;
  for (size_t i = 0; i < levels; ++i) open += "<array>", close += "</array>";
  return open + inner + close;
}

void writeFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string pathWithFirst(const std::string& dir) {
  const char* path = std::getenv("PATH");
  return dir + ":" + (path ? path : "/usr/bin:/bin");
}

void inChildProcesses(int count, const std::function<void(int)>& body) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
      body(i);
      ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}

namespace {
// POSIX names the hours west of UTC.
std::string afternoonZone() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  int hoursEast = (15 - utc.tm_hour + 24) % 24;
  if (hoursEast > 12) hoursEast -= 24;
  return "AFT" + std::to_string(-hoursEast);
}
}  // namespace

AfternoonTimeZone::AfternoonTimeZone() : TimeZone(afternoonZone().c_str()) {}

void expectStampedNow(const std::string& file, const std::string& prefix) {
  std::smatch match;
  ASSERT_TRUE(std::regex_match(file, match, std::regex(prefix + "_4711_([0-9]{14})"))) << file;
  std::tm stamp{};
  ASSERT_NE(::strptime(match[1].str().c_str(), "%Y%m%d%H%M%S", &stamp), nullptr) << file;
  stamp.tm_isdst = -1;
  const std::time_t stamped = std::mktime(&stamp), now = std::time(nullptr);
  EXPECT_TRUE(stamped <= now && stamped > now - 300) << file << " is not stamped with the time of the run";
}

bool mountTmpfs(const std::string& dir, const std::string& options, bool readOnly) {
#ifdef __linux__
  return ::mount("tmpfs", dir.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
#else
  static_cast<void>(dir), static_cast<void>(options), static_cast<void>(readOnly);
  return false;
#endif
}

bool unmountTmpfs(const std::string& dir) {
#ifdef __linux__
  return ::umount2(dir.c_str(), MNT_DETACH) == 0;
#else
  static_cast<void>(dir);
  return false;
#endif
}

Sandbox::Sandbox() {
  // The tool trusts only what nobody but root may change: the tree is laid out
  // so, whatever umask the test runs with.
  ::umask(022);
  root_ = (fs::temp_directory_path() / "brim_sandbox.XXXXXX").string();
  if (!::mkdtemp(root_.data())) throw std::runtime_error("mkdtemp failed");
  for (const char* dir : {"config", "bin", "temp", "log", "data", "datapost"}) fs::create_directories(path(dir));
  fs::create_directories(root_ + "/tmp");
  fs::create_directories(fakeBinDir());
}

Sandbox::~Sandbox() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void Sandbox::writeSettings(long long dcRegId, const std::string& extraRootEntries,
                            const std::string& machineInfoEntries) const {
  std::string xml = readFile(fixture("support/settings.plist.in"));
  for (const auto& [mark, value] : {std::pair<std::string, std::string>{"@INSTALL_DIR@", installDir()},
                                    {"@DCREGID@", std::to_string(dcRegId)},
                                    {"@MACHINEINFO@", machineInfoEntries},
                                    {"@ROOT_ENTRIES@", extraRootEntries}}) {
    xml.replace(xml.find(mark), mark.size(), value);
  }
  writeFile(path("config/settings.plist"), xml);
}

std::string Sandbox::expand(const std::string& text) const {
  return replacedAll(text, {{"@AGENT@", installDir()}, {"@ROOT@", root_}});
}

void Sandbox::writeBuildDate(const std::string& text) const { writeFile(path("log/build_date"), text); }

void Sandbox::installRecordedMac() const {
  writeBuildDate();
  writeSettings(4711);
  replayProfilerFrom(testData("mac-a"));
}

void Sandbox::writeExecutable(const std::string& file, const std::string& script) const {
  writeFile(file, script);
  ::chmod(file.c_str(), 0755);
}

void Sandbox::replayProfilerFrom(const std::string& dir) const {
  writeExecutable(fakeBinDir() + "/system_profiler",
                  "#!/bin/sh\necho \"$*\" >>'" + root_ + "/profiler-calls'\nf='" + dir +
                      "'/\"$1\"\nif [ \"$2\" = -xml ]; then f=\"$f.xml\"; else f=\"$f.txt\"; fi\n"
                      "[ -f \"$f\" ] && cat \"$f\"\nexit 0\n");
}

void Sandbox::wrapProfiler(const std::string& script) const {
  fs::rename(fakeBinDir() + "/system_profiler", fakeBinDir() + "/replay_profiler");
  writeExecutable(fakeBinDir() + "/system_profiler", readFile(fixture(script)));
}

std::string routeTable(const std::string& routes) {
  return "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
         "eth0\t0002000A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n" +
         routes;
}

void Sandbox::writeRouteTable(bool withDefaultRoute, const std::string& defaultRouteFlags) {
  network_.reset();
  // Only the Linux source reads a table; elsewhere the system answers.
#ifdef __linux__
  writeFile(root_ + "/proc/net/route", routeTable(withDefaultRoute ? "eth0\t00000000\t0102000A\t" + defaultRouteFlags +
                                                                         "\t0\t0\t0\t00000000\t0\t0\t0\n"
                                                                   : ""));
#else
  static_cast<void>(withDefaultRoute);
  static_cast<void>(defaultRouteFlags);
#endif
}

std::string fixture(const std::string& relative) { return std::string(BRIM_TEST_FIXTURES) + "/" + relative; }
std::string testData(const std::string& relative) { return std::string(BRIM_TEST_DATA) + "/" + relative; }

std::vector<std::vector<std::string>> fixtureCases(const std::string& relative, std::size_t fields) {
  std::vector<std::vector<std::string>> cases;
  std::istringstream lines(readFile(fixture(relative)));
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line.starts_with('#')) continue;
    if (line.ends_with(" |")) line += ' ';  // an empty last field
    std::vector<std::string>& fieldsRead = cases.emplace_back(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line.compare(i, 3, " | ") == 0) {
        fieldsRead.emplace_back();
        i += 2;
      } else if (line[i] != '\\' || i + 1 == line.size()) {
        fieldsRead.back() += line[i];
      } else if (const char escaped = line[++i]; escaped == 'x') {
        fieldsRead.back() += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        fieldsRead.back() += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped == 't' ? '\t' : escaped;
      }
    }
    EXPECT_EQ(fieldsRead.size(), fields) << relative << ": " << line;
    fieldsRead.resize(fields);
  }
  EXPECT_FALSE(cases.empty()) << relative << ": no case";
  return cases;
}

void expectAsReviewed(const std::string& path, const std::string& actual) {
  if (const char* update = std::getenv("BRIM_UPDATE_EXPECTED"); update && std::string(update) == "1") {
    writeFile(path, actual);
  }
  EXPECT_EQ(actual, readFile(path)) << path;
}

std::string Sandbox::command(const std::vector<std::string>& args) const {
  std::string command = "cd '" + root_ + "' && exec env BRIM_SANDBOX_ROOT='" + root_ +
                        "' BRIM_SANDBOX_NO_DELAY=1 PATH='" + pathWithFirst(fakeBinDir()) + "' ";
  if (network_) command += "BRIM_SANDBOX_REACHABILITY=" + *network_ + " ";
  command += "'" BRIM_BIN_DIR "/brim_asset_sandbox'";
  for (const auto& arg : args) command += " '" + arg + "'";
  return command;
}

RunResult Sandbox::run(const std::vector<std::string>& args) const { return runShell(command(args) + " 2>&1"); }

RunResult Sandbox::runExpecting(int exitStatus, const std::vector<std::string>& args) const {
  RunResult result = run(args);
  EXPECT_EQ(result.exitStatus, exitStatus) << result.output;
  return result;
}

// Nothing the suite runs takes a day: that bound only keeps a hang from lasting for ever.
RunResult runShell(const std::string& command) { return runShellWithin(command, std::chrono::hours(24)); }

RunResult runShellWithin(const std::string& command, std::chrono::seconds limit) {
  RunResult result;
  std::array<int, 2> pipeEnds{};
  if (::pipe(pipeEnds.data()) != 0) return result;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    return result;
  }
  if (child == 0) {
    ::setpgid(0, 0);  // what the command starts dies with it
    ::dup2(pipeEnds[1], STDOUT_FILENO);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::setpgid(child, child);
  ::close(pipeEnds[1]);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool killed = false;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(-child, SIGKILL);
      killed = true;
      break;
    }
    pollfd readable{pipeEnds[0], POLLIN, 0};
    const int ready = ::poll(&readable, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    std::array<char, 4096> buffer{};
    const ssize_t n = ::read(pipeEnds[0], buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // every writer is gone
    result.output.append(buffer.data(), static_cast<size_t>(n));
  }
  ::close(pipeEnds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitStatus = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string shellOutput(const std::string& command, const std::string& input) {
  char path[] = "/tmp/brim_input_XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) {
    ADD_FAILURE() << "no temporary file for " << command;
    return {};
  }
  ::close(fd);
  writeFile(path, input);
  const RunResult result = runShell("( " + command + " ) < " + path);
  ::unlink(path);
  EXPECT_EQ(result.exitStatus, 0) << command;
  return result.output;
}

std::vector<std::string> Sandbox::listDir(const std::string& relative) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(path(relative), ec)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Sandbox::takeDataPostFile(const std::string& prefix) const {
  const auto files = listDir("datapost");
  EXPECT_EQ(files.size(), 1u);
  if (files.size() != 1) return {};
  expectStampedNow(files[0], prefix);
  const std::string file = path("datapost/" + files[0]);
  expectCheckedOK(file);
  const std::string document = readFile(file);
  fs::remove(file);
  return document;
}

RunResult runInspect(const std::string& arguments) {
  return runShell("'" BRIM_BIN_DIR "/brim_inspect' " + arguments + " 2>&1");
}

void expectCheckedOK(const std::string& path) {
  const RunResult check = runInspect("check '" + path + "'");
  EXPECT_EQ(check.exitStatus, 0);
  EXPECT_EQ(check.output, path + ": OK\n");
}

SandboxRoot::SandboxRoot(const Sandbox& sandbox) : previous_(Paths::sandboxRoot()) {
  Paths::setSandboxRoot(sandbox.root());
}

SandboxRoot::~SandboxRoot() { Paths::setSandboxRoot(previous_); }

SandboxInProcess::SandboxInProcess(const Sandbox& sandbox)
    : root_(sandbox), path_({"PATH"}, pathWithFirst(sandbox.fakeBinDir())) {
  GlobalPreferences::setStaticInstance(GlobalPreferences::getSharedInstance());
}

SandboxInProcess::~SandboxInProcess() { DateTime::setNowForTesting(std::nullopt); }

std::vector<std::string> loggedMessages() {
  static const std::regex stamped(R"(^\d+/\d+/\d+, \d+:\d\d:\d\d [AP]M (.*)$)");
  std::vector<std::string> messages;
  std::smatch match;
  for (const std::string& line : CustomLogger::getLogArray()) {
    if (std::regex_match(line, match, stamped)) messages.push_back(match[1]);
  }
  return messages;
}

}  // namespace brim::test
