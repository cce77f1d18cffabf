// brim_inspect against what the tool really writes: the inventory documents of
// the recorded machines, documents and files damaged on the way, and
// installations with the faults that keep a machine from posting.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>

#include "config/SectionFields.h"
#include "envelope/Base64.h"
#include "envelope/RawDeflate.h"
#include "inspect/WireFormat.h"
#include "platform/CustomLogger.h"
#include "platform/Text.h"
#include "reports/ConsolidatedAssets.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

using ::testing::HasSubstr;

// While it lives, what the modules log goes neither to the log file nor to the test's output.
struct QuietLog {
  QuietLog() { CustomLogger::setSink(ignore); }
  ~QuietLog() { CustomLogger::setSink(nullptr); }
  static void ignore(const std::string&) {}
};

// Another deployment's pass phrase.
const std::string kOtherPassPhrase = "Zyxwvutsrqponmlkjihgfedcba987654";

std::string webPost(const std::string& name, const std::string& site) {
  return "<key>" + name + "</key><dict><key>primarysite</key><string>" + site +
         "</string><key>compression</key><false/><key>encryption</key><false/><key>encryptxmlroottag</key><false/>"
         "<key>getdata</key><dict><key>regid</key><string>rid</string></dict></dict>\n";
}

void writeWebPosts(const Sandbox& sandbox, const std::string& entries) {
  writeFile(sandbox.path("config/webposts.plist"), plistDocument(entries));
}

// ---------------------------------------------------------------------------
// check: the inventory documents of recorded machines, and damaged ones.

struct Recorded {
  const char* machine;
  // The cases of tests/data whose reports the profiler answers; a single case answers from its own folder.
  std::vector<std::string> cases;
};

void PrintTo(const Recorded& recorded, std::ostream* out) { *out << recorded.machine; }

// The hardware and software documents a run on the recorded machine writes.
std::pair<std::string, std::string> inventoryDocuments(const Recorded& recorded) {
  Sandbox sandbox;
  sandbox.writeSettings(4711);
  std::string dir = testData(recorded.cases.front());
  if (recorded.cases.size() > 1) {
    dir = sandbox.root() + "/profiler";
    std::filesystem::create_directories(dir);
    for (const std::string& dataCase : recorded.cases) {
      for (const auto& report : std::filesystem::directory_iterator(testData(dataCase))) {
        if (report.path().extension() == ".xml") std::filesystem::copy_file(report, dir / report.path().filename());
      }
    }
  }
  sandbox.replayProfilerFrom(dir);
  QuietLog quiet;
  SandboxInProcess inSandbox(sandbox);
  ConsolidatedAssets assets;
  assets.collectData();
  assets.collectSWData();
  return {assets.assetString1.value_or(""), assets.assetString2.value_or("")};
}

class RecordedDocuments : public ::testing::TestWithParam<Recorded> {};

// Each document follows the wire format and equals, byte for byte, the reviewed
// one (its scan time left out). BRIM_UPDATE_EXPECTED=1 rewrites the reviewed
// documents after a deliberate change; review the diff.
TEST_P(RecordedDocuments, FollowTheWireFormatAndStayByteForByteAsReviewed) {
  TimeZone utc{"UTC"};  // dates are written in the system time zone
  const auto [hardware, software] = inventoryDocuments(GetParam());
  for (const auto& [kind, document] : {std::pair{"hardware", hardware}, {"software", software}}) {
    EXPECT_EQ(inspect::checkDocument(document), std::nullopt) << kind;
    const std::string reviewed = fixture("reports/documents/" + std::string(GetParam().machine) + "_" + kind + ".xml");
    const std::string scanned = std::regex_replace(document, std::regex("<scandttime>[^<]*</scandttime>"), "");
    if (const char* update = std::getenv("BRIM_UPDATE_EXPECTED"); update && std::string(update) == "1") {
      writeFile(reviewed, scanned);
    }
    EXPECT_TRUE(scanned == readFile(reviewed)) << kind << ": differs from " << reviewed;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Machines, RecordedDocuments,
    ::testing::Values(Recorded{"mac_a", {"mac-a"}}, Recorded{"linux_vm", {"linux-vm"}},
                      Recorded{"linux_laptop", {"linux-laptop"}},
                      Recorded{"mac_samples", {"mac-sata-volumes", "mac-usb-hubs"}},
                      // The shapes real machines produce less often: two memory groups (the
                      // second group's fields inside the first's elements), two locations
                      // (nested), drives without volumes, cards without displays, nested USB.
                      Recorded{"shapes",
                               {"memory-two-groups", "locations-two-locations", "disk-two-controllers",
                                "graphics-two-cards", "usb-nested", "power-one-key", "bluetooth-empty-entry",
                                "firewall-string-item", "network-lists"}}),
    [](const ::testing::TestParamInfo<Recorded>& info) { return std::string(info.param.machine); });

const std::pair<std::string, std::string>& macADocuments() {
  static const std::pair<std::string, std::string> documents = inventoryDocuments(Recorded{"mac_a", {"mac-a"}});
  return documents;
}

TEST(CheckDamagedDocument, NamesTheFirstDeviationWithItsPath) {
  const std::string document = macADocuments().first;
  std::string nested = "<fn>";
  for (int i = 0; i < 100000; ++i) nested += "<fnname>locations</fnname><dtl><type/><activeloc/>";
  for (int i = 0; i < 100000; ++i) nested += "</dtl>";
  nested += "</fn>";
  std::vector<std::vector<std::string>> cases = fixtureCases("inspect/damaged-documents.cases", 4);
  cases.push_back({"registration id of a million digits", "<regid>4711</regid>",
                   "<regid>" + std::string(1000000, '7') + "</regid>",
                   "/wpmacasstinfo/regid[1]: holds 1000000 characters where -?[0-9]+ belongs"});
  cases.push_back(
      {"locations nested without end", "<fn><fnname>locations</fnname>.*</fn>", nested,
       "/wpmacasstinfo/fn[18]/dtl[1]/dtl[1]/dtl[1]/dtl[1]/dtl[1]/dtl[1]/dtl[1]/dtl[1]/dtl[1]/dtl[1]/dtl[1]"});
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0]);
    const std::string damaged =
        std::regex_replace(document, std::regex(c[1]), c[2], std::regex_constants::format_first_only);
    ASSERT_NE(damaged, document);
    EXPECT_THAT(inspect::checkDocument(damaged).value_or("accepted"), HasSubstr(c[3]));
  }
}

// decode and check on files: the verdict names the file and what is wrong with
// it; bad input exits with 2, a document that does not fit the wire format or
// its file name with 1. The forms a direct report is posted in are decoded in
// the report runs' own tests.
TEST(InspectFiles, TheVerdictNamesTheFileAndWhatIsWrong) {
  const Sandbox sandbox;
  const std::string scratch = sandbox.root() + "/";
  const auto& [hardware, software] = macADocuments();
  const std::string body = "<wpmacsmartsts>" + encrypted("<regid>1</regid>") + "</wpmacsmartsts>";
  // A few kilobytes that inflate to a million levels of elements.
  std::string deep;
  for (const char* part : {"<a>", "</a>"}) {
    for (int i = 0; i < 1000000; ++i) deep += part;
  }
  const std::string deepBody =
      "<wpmacsmartsts><![CDATA[" + encodeBase64(rawDeflate(deep).value()) + "]]></wpmacsmartsts>";
  writeFile(scratch + "wrong.key", kOtherPassPhrase + "\n");
  const struct {
    std::string command;
    const char* file;
    std::string content;
    int exitStatus;
    const char* verdict;
  } cases[] = {
      {"decode", "not-a-document", "hello, server", 2, "not an XML document"},
      {"decode --pass-phrase-file " + scratch + "wrong.key", "other-pass-phrase", body, 2,
       "the content of <wpmacsmartsts> does not decrypt with this pass phrase"},
      {"decode", "base64-cut-inside-a-group", body.substr(0, 30) + "</wpmacsmartsts>", 2,
       "the content of <wpmacsmartsts> is not Base64"},
      {"decode", "base64-cut-at-a-block", body.substr(0, 35) + "</wpmacsmartsts>", 2,
       "the cipher text in <wpmacsmartsts> is 15 bytes, not whole 16-byte blocks"},
      {"decode", "compressed-content-damaged", "<wpmacsmartsts><![CDATA[AAAA]]></wpmacsmartsts>", 2,
       "<wpmacsmartsts> holds a compressed envelope that does not restore"},
      {"decode", "nested-a-million-levels-inside-compression", deepBody, 2,
       "elements nested more than 256 levels deep, far more than any document the tool writes (after taking off "
       "compression envelope)"},
      {"check", "wpmacpradatahr_4711_20261204210633", readFile(fixture("procmon/report_small_machine.xml")), 0, "OK\n"},
      {"check", "wpmacasstinfo_4711_20261206051844", software, 1,
       "file name: wpmacasstinfo_ holds the Software inventory document, whose files are named wpmacasstswinfo_\n"},
      {"check", "wpmacasstinfo_42_20261206051844", hardware, 1,
       "file name: registration id 42, the document's is 4711\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    writeFile(scratch + c.file, c.content);
    const RunResult result = runInspect(c.command + " " + scratch + c.file);
    EXPECT_EQ(result.exitStatus, c.exitStatus);
    // Bad input is told on standard error, after the tool's name.
    EXPECT_THAT(result.output, ::testing::StartsWith((c.exitStatus == 2 ? "brim_inspect: " : "") + scratch + c.file +
                                                     ": " + c.verdict));
  }
  EXPECT_EQ(runInspect("decode " + scratch + "absent").exitStatus, 2);
  EXPECT_EQ(runInspect("frobnicate").exitStatus, 2);
}

// What an administrator types first: help and the version on standard output
// with 0, and one error line with 2 for what cannot work.
TEST(InspectCommandLine, AnswersHelpVersionAndJsonAndRefusesWhatCannotWork) {
  const std::string tool = "'" BRIM_BIN_DIR "/brim_inspect' ";
  for (const char* help : {"--help", "-h", "help"}) {
    const RunResult result = runShell(tool + help + " 2>/dev/null");
    EXPECT_EQ(result.exitStatus, 0) << help;
    EXPECT_THAT(result.output, ::testing::AllOf(::testing::StartsWith("usage: brim_inspect"), HasSubstr("set-webpost")))
        << help;
  }
  const RunResult version = runShell(tool + "--version 2>/dev/null");
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_THAT(version.output,
              ::testing::MatchesRegex("brim_inspect [0-9.]+\npass phrase fingerprint [0-9a-f]{16} .*\n"));
  EXPECT_THAT(version.output, ::testing::Not(HasSubstr(sharedPassPhrase())));
  EXPECT_THAT(runInspect("--json --version").output,
              ::testing::MatchesRegex("\\{\"version\": \"[0-9.]+\", \"passphrasefingerprint\": \"[0-9a-f]{16}\".*\n"));

  const RunResult missing = runInspect("--root /nonexistent/machine doctor");
  EXPECT_EQ(missing.exitStatus, 2);
  EXPECT_EQ(missing.output, "brim_inspect: --root /nonexistent/machine: no such folder\n");
  for (const char* refused : {"--json decode", "--json schema", "--json set-webpost", "--compression on doctor"}) {
    const RunResult result = runInspect(refused);
    EXPECT_EQ(result.exitStatus, 2) << refused;
    EXPECT_THAT(result.output, ::testing::StartsWith("brim_inspect: ")) << refused;
  }
  const Sandbox sandbox;
  const std::string file = sandbox.root() + "/body.txt";
  writeFile(file, "hello, server");
  const RunResult checked = runInspect("--json check " + file);
  EXPECT_EQ(checked.exitStatus, 2);
  EXPECT_THAT(checked.output, HasSubstr("[{\"check\": \"" + file + "\", \"status\": \"FAIL\", \"detail\": \"" + file +
                                        ": not an XML document"));
}

TEST(WireFormatDocs, CommittedCopiesAreWhatTheTablesGive) {
  // Regenerate with: cmake --build <build dir> --target wire-format-docs
  const std::string docs = std::string(BRIM_TEST_FIXTURES) + "/../../docs/";
  EXPECT_EQ(readFile(docs + "wire-format.md"), inspect::wireFormatMarkdown());
  EXPECT_EQ(readFile(docs + "wire-format.rng"), inspect::relaxNgSchema());
}

// ---------------------------------------------------------------------------
// settings, webposts and doctor on an installation under --root.

// A secret encrypted under another deployment's pass phrase.
const std::string kForeignSecret = encrypted("secret", kOtherPassPhrase);

class InstallationUnderRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox.writeRouteTable(true);
    sandbox.writeSettings(4711,
                          "<key>proxysettings</key><dict><key>proxyip</key><string>127.0.0.1</string>"
                          "<key>proxyusername</key><string>" +
                              encrypted("proxy-user") + "</string><key>proxypassword</key><string>" + kForeignSecret +
                              "</string></dict>");
    writeWebPosts(sandbox, webPost("wpmacsmartsts", encrypted("http://127.0.0.1:9/smart")) +
                               webPost("wpmacupdsysdtl", encrypted("http://127.0.0.1:9/sysdtl")));
    // The commands the jobs run, where their PATH finds them.
    for (const char* command : {"usr/bin/system_profiler", "bin/ps", "usr/sbin/smartctl"}) {
      sandbox.writeExecutable(sandbox.root() + "/" + command, "#!/bin/sh\n");
    }
  }
  // A run that cannot hang the suite: what blocks is killed, and fails the test by its status.
  RunResult run(const std::string& command) const {
    // Dates show in the zone brim_inspect runs in: UTC here.
    return runShellWithin(
        "TZ=UTC0 '" BRIM_BIN_DIR "/brim_inspect' --root '" + sandbox.root() + "' " + command + " 2>&1",
        std::chrono::seconds(60));
  }

  // A text of a table with the sandbox's paths put in for <root> and <agent>.
  std::string inSandbox(std::string text) const {
    for (const auto& [mark, path] :
         {std::pair<std::string, std::string>{"<agent>", sandbox.installDir()}, {"<root>", sandbox.root()}}) {
      for (size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, mark.size(), path);
    }
    return text;
  }

  Sandbox sandbox;
};

// Secrets show masked, or as they stand where they do not decrypt, unless
// asked for; scripts get the file's own structure, masked the same way.
TEST_F(InstallationUnderRoot, SettingsAndWebPostsShowSecretsOnlyWhenAskedTo) {
  BRIM_REQUIRE_ROOT();
  std::string shown;
  for (const char* command : {"settings", "settings --decrypt", "--json settings", "webposts", "webposts --decrypt",
                              "--json webposts --decrypt"}) {
    const RunResult result = run(command);
    EXPECT_EQ(result.exitStatus, 0) << command << "\n" << result.output;
    shown += "$ brim_inspect " + std::string(command) + "\n" + result.output;
  }
  for (size_t at; (at = shown.find(sandbox.root())) != std::string::npos;)
    shown.replace(at, sandbox.root().size(), "<root>");
  expectAsReviewed(fixture("inspect/settings-and-webposts.txt"), shown);
}

TEST_F(InstallationUnderRoot, DoctorFindsWhatKeepsTheMachineFromPosting) {
  BRIM_REQUIRE_ROOT();
  const RunResult healthy = run("doctor");
  EXPECT_EQ(healthy.exitStatus, 0) << healthy.output;
  EXPECT_THAT(healthy.output, HasSubstr("OK   registration id: 4711\n"));
  EXPECT_THAT(healthy.output, HasSubstr("OK   web post wpmacsmartsts: posts to its primarysite\n"));
  EXPECT_THAT(healthy.output, HasSubstr("OK   reach 127.0.0.1: 127.0.0.1 reachable\n"));

  const std::string settings = sandbox.path("config/settings.plist");
  const std::string log = sandbox.path("log/brim_asset.log");
  const std::string foreignSite = webPost("wpmacsmartsts", encrypted("http://127.0.0.1:9/", kOtherPassPhrase));
  const std::map<std::string, std::function<void()>> faults{
      {"registration id 0", [&] { sandbox.writeSettings(0); }},
      {"world-writable settings", [&] { ::chmod(settings.c_str(), 0666); }},
      {"missing web post", [&] { writeWebPosts(sandbox, webPost("wpmacsmartsts", encrypted("http://127.0.0.1:9/"))); }},
      {"site that does not decrypt",
       [&] { writeWebPosts(sandbox, foreignSite + webPost("wpmacupdsysdtl", encrypted("http://127.0.0.1:9/"))); }},
      {"no route", [&] { sandbox.writeRouteTable(false); }},
      {"data-post folder gone", [&] { std::filesystem::remove_all(sandbox.path("datapost")); }},
      {"process report not written",
       [&] { writeFile(log, readFile(fixture("inspect/process-report-not-written.log"))); }},
      {"world-writable temp folder, even sticky", [&] { ::chmod(sandbox.path("temp").c_str(), 01777); }},
      {"data folder of another user", [&] { ::chown(sandbox.path("data").c_str(), 65534, 65534); }},
      {"run lock a folder", [&] { std::filesystem::create_directory(sandbox.path("bin/brim_asset.lock")); }},
  };
  for (const auto& c : fixtureCases("inspect/doctor-failures.cases", 2)) {
    SCOPED_TRACE(c[0]);
    if (c[0] == "no route") BRIM_LINUX_ONLY_CASE("the copy's routing table is what a Linux doctor reads");
    SetUp();
    ::chmod(settings.c_str(), 0644);
    ::chmod(sandbox.path("temp").c_str(), 0755);
    ::chown(sandbox.path("data").c_str(), 0, 0);
    std::filesystem::remove(sandbox.path("bin/brim_asset.lock"));
    std::filesystem::create_directories(sandbox.path("datapost"));
    std::filesystem::remove(log);
    faults.at(c[0])();
    const RunResult result = run("doctor");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_THAT(result.output, HasSubstr(inSandbox(c[1]))) << result.output;
  }
  EXPECT_THAT(
      run("doctor --json").output,
      HasSubstr("{\"check\": \"last process report\", \"status\": \"FAIL\", \"detail\": \"2026-12-06 05:00:01 +00:00: "
                "its data-post file was not written\", \"advice\": \"see the data-post checks\"}"));
}

// A copy anybody may have made: whatever it holds, each command ends at once
// with bad input (2) or a FAIL, reads nothing outside the copy and prints
// nothing a terminal, a shell or a JSON reader would take for more than text.
TEST_F(InstallationUnderRoot, AHostileCopyGetsBadInputOrAFailAtOnce) {
  BRIM_REQUIRE_ROOT();
  const std::string settings = sandbox.path("config/settings.plist");
  const std::string route = sandbox.root() + "/proc/net/route";
  const std::string log = sandbox.path("log/brim_asset.log");
  const Sandbox outside;
  outside.writeSettings(90210);
  const std::string outsideSettings = outside.path("config/settings.plist");
  const std::string webPosts = sandbox.path("config/webposts.plist");
  const auto replaceSettings = [&](const std::function<void()>& make) {
    std::filesystem::remove(settings);
    make();
  };
  const std::map<std::string, std::function<void()>> faults{
      {"FIFO", [&] { replaceSettings([&] { ::mkfifo(settings.c_str(), 0644); }); }},
      {"FIFO as the log", [&] { ::mkfifo(log.c_str(), 0644); }},
      {"sparse 100 GB", [&] { ::truncate(settings.c_str(), 100LL << 30); }},
      {"absolute link out of the copy",
       [&] { replaceSettings([&] { std::filesystem::create_symlink(outsideSettings, settings); }); }},
      {"relative link out of the copy",
       [&] {
         replaceSettings(
             [&] { std::filesystem::create_symlink("../../../../../../../../.." + outsideSettings, settings); });
       }},
      {"route table a link",
       [&] {
         std::filesystem::rename(route, route + ".real");
         std::filesystem::create_symlink("route.real", route);
       }},
      {"section holding a plain value", [&] { sandbox.writeSettings(4711, "<key>lmiinfo</key><real>2.5</real>"); }},
      {"escape sequences, shell syntax and bytes that are not UTF-8 in values",
       [&] {
         sandbox.writeSettings(4711, "",
                               "<key>machinename</key><string>mac\x1b]0;owned\x07 \u202Egpj.exe\u2028</string>");
         std::string text = readFile(settings);
         writeFile(settings, text.replace(text.find("<string>data<"), 12, "<string>data\xff\xfe $(touch x)\x1b[2J"));
       }},
      {"config folder of another user", [&] { ::chown(sandbox.path("config").c_str(), 65534, 65534); }},
      {"web posts a link out of the copy",
       [&] {
         std::filesystem::remove(webPosts);
         std::filesystem::create_symlink(outsideSettings, webPosts);
       }},
      {"web posts a FIFO",
       [&] {
         std::filesystem::remove(webPosts);
         ::mkfifo(webPosts.c_str(), 0644);
       }},
      {"config folder a link out of the copy",
       [&] {
         std::filesystem::rename(sandbox.path("config"), sandbox.path("config.real"));
         std::filesystem::create_symlink(outside.path("config"), sandbox.path("config"));
       }},
      {"data-post folder a link out of the copy",
       [&] {
         const std::string old = outside.path("datapost/x90210.xml");
         writeFile(old, "<a/>");
         const timespec longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
         ::utimensat(AT_FDCWD, old.c_str(), longAgo, 0);
         std::filesystem::remove_all(sandbox.path("datapost"));
         std::filesystem::create_symlink(outside.path("datapost"), sandbox.path("datapost"));
       }},
      {"secrets stored in plain",
       [&] {
         sandbox.writeSettings(4711,
                               "<key>xmppreginfo</key><dict><key>passwd</key><string>pw90210</string></dict>"
                               "<key>proxysettings</key><dict><key>proxyip</key><string>http://u90210:p@proxy</string>"
                               "<key>proxypassword</key><string>&quot;90210&lt;</string></dict>");
       }},
      {"settings nested by NUL tags",
       [&] {
         std::string nested;
         for (int i = 0; i < 400000; ++i) nested.append("<array\0>", 8);
         writeFile(settings, plistDocument(nested));
       }},
      {"group-writable executable folder", [&] { ::chmod(sandbox.path("bin").c_str(), 0775); }},
  };
  for (const auto& c : fixtureCases("inspect/hostile-copies.cases", 4)) {
    SCOPED_TRACE(c[0]);
    if (c[0] == "route table a link") BRIM_LINUX_ONLY_CASE("only a Linux doctor reads the copy's routing table");
    if (const auto fault = faults.find(c[0]); fault != faults.end()) {
      for (const std::string& path :
           {settings, route, route + ".real", log, webPosts, sandbox.path("config"), sandbox.path("datapost")}) {
        if (std::filesystem::is_symlink(path)) std::filesystem::remove(path);
      }
      if (std::filesystem::exists(sandbox.path("config.real"))) {
        std::filesystem::rename(sandbox.path("config.real"), sandbox.path("config"));
      }
      for (const std::string& path : {settings, route, route + ".real", log, webPosts}) std::filesystem::remove(path);
      std::filesystem::create_directories(sandbox.path("datapost"));
      SetUp();
      ::chown(sandbox.path("config").c_str(), 0, 0);
      ::chmod(sandbox.path("bin").c_str(), 0755);
      fault->second();
    }
    const RunResult result = run(inSandbox(c[1]));
    EXPECT_EQ(result.exitStatus, std::stoi(c[2]));
    EXPECT_THAT(result.output, HasSubstr(inSandbox(c[3]))) << result.output;
    EXPECT_THAT(result.output, ::testing::Not(HasSubstr("90210")));
    EXPECT_EQ(result.output.find('\x1b'), std::string::npos);
    EXPECT_EQ(result.output.find("\u202E"), std::string::npos);
    EXPECT_TRUE(isValidUtf8(result.output));
  }
  // Nothing was written outside the copy either.
  EXPECT_EQ(readFile(outsideSettings).find("wpmacsmartsts"), std::string::npos);
}

// Tag names with a NUL, which the property-list library reads only up to the
// NUL, nest as deep as they are many: both programs refuse such a settings
// file with a log line or a message, and neither crashes.
TEST(NulTagSettings, BothProgramsRefuseThemWithoutACrash) {
  BRIM_REQUIRE_ROOT();
  Sandbox sandbox;
  sandbox.writeBuildDate();
  std::string nested;
  for (int i = 0; i < 400000; ++i) nested.append("<array\0>", 8);
  writeFile(sandbox.path("config/settings.plist"), plistDocument(nested));
  const RunResult asset = sandbox.run({"-smartstatus"});
  // An orderly end (the tool's own failure status), not a signal.
  EXPECT_EQ(asset.exitStatus, 255) << asset.output;
  EXPECT_THAT(asset.output, HasSubstr("parsePlist:property list not read: nested deeper than 256 levels"));
  EXPECT_THAT(asset.output, HasSubstr("nothing is run"));
  const RunResult inspect = runInspect("--root '" + sandbox.root() + "' settings");
  EXPECT_EQ(inspect.exitStatus, 2) << inspect.output;
  EXPECT_THAT(inspect.output, HasSubstr("cannot be read as a property-list dictionary"));
}

// set-webpost writes a site the tool decrypts, into the file as it was: the
// other web posts, the keys it does not set and the owner stay; the file is
// its owner's alone.
TEST_F(InstallationUnderRoot, SetWebPostWritesASiteTheToolPostsToAndKeepsTheRestOfTheFile) {
  BRIM_REQUIRE_ROOT();
  const std::string file = sandbox.path("config/webposts.plist");
  writeWebPosts(sandbox, webPost("wpmacupdsysdtl", encrypted("http://127.0.0.1:9/sysdtl")));
  ASSERT_EQ(::chown(file.c_str(), 0, 5678), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  const RunResult added = run("set-webpost wpmacsmartsts http://127.0.0.1:8080/agent/smart.php --encryption on");
  EXPECT_EQ(added.exitStatus, 0) << added.output;
  EXPECT_EQ(run("set-webpost wpmacupdsysdtl https://[::1]/sysdtl?site=3 --compression on").exitStatus, 0);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_gid, 5678u);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  const std::string posts = run("webposts --decrypt").output;
  EXPECT_THAT(posts, HasSubstr("[wpmacupdsysdtl]\n  compression = true, encryption = false, encryptxmlroottag = false\n"
                               "  primarysite = \"https://[::1]/sysdtl?site=3\"\n"));
  EXPECT_THAT(posts, HasSubstr("  query = \"?rid=4711\"\n"));  // the parameter names it had stay
  EXPECT_THAT(posts, HasSubstr("[wpmacsmartsts]\n  compression = false, encryption = true, encryptxmlroottag = false\n"
                               "  primarysite = \"http://127.0.0.1:8080/agent/smart.php\"\n"));
  EXPECT_THAT(posts, HasSubstr("  posts to http://127.0.0.1:8080/agent/smart.php?regid=4711&ec=256\n"));
  EXPECT_THAT(run("doctor").output, HasSubstr("OK   web post wpmacsmartsts: posts to its primarysite\n"));

  for (const char* refused : {"set-webpost wpmacsmartsts ftp://127.0.0.1/", "set-webpost wpmacsmartsts http://",
                              "set-webpost 'a b' http://127.0.0.1/", "set-webpost wpmacsmartsts 'http://x/ y'",
                              "set-webpost wpmacsmartsts http://127.0.0.1/ --encryption yes"}) {
    EXPECT_EQ(run(refused).exitStatus, 2) << refused;
  }
  writeFile(file, "<plist><dict><key>x</key>");
  EXPECT_THAT(run("set-webpost wpmacsmartsts http://127.0.0.1/").output, HasSubstr("left as it is"));
  EXPECT_EQ(readFile(file), "<plist><dict><key>x</key>");
}

// What fails without an error a job's exit status shows: each finding names
// the command that fixes it. The pass phrase shows only as its fingerprint.
TEST_F(InstallationUnderRoot, DoctorFindsWhatFailsSilently) {
  BRIM_REQUIRE_ROOT();
  const RunResult healthy = run("doctor");
  EXPECT_EQ(healthy.exitStatus, 0) << healthy.output;
  EXPECT_THAT(healthy.output, HasSubstr("OK   command ps: /bin/ps\n"));
  EXPECT_THAT(healthy.output, HasSubstr("OK   data-post backlog: no file waits longer than a day\n"));
  EXPECT_THAT(healthy.output, ::testing::ContainsRegex("pass phrase: fingerprint [0-9a-f]{16} "));
  EXPECT_THAT(healthy.output, ::testing::Not(HasSubstr(sharedPassPhrase())));

  const std::string log = sandbox.path("log/brim_asset.log");
  const auto logged = [&](const std::string& document) {
    writeFile(log, "12/6/26, 5:00:01 AM -[CollectProcessesData CreateProcXMLTree]:assetDataXML=" + document + "\n");
  };
  const std::map<std::string, std::function<void()>> faults{
      {"ps missing", [&] { std::filesystem::remove(sandbox.root() + "/bin/ps"); }},
      {"smartctl missing", [&] { std::filesystem::remove(sandbox.root() + "/usr/sbin/smartctl"); }},
      {"empty process report",
       [&] { logged("<wpmacpradatahr><regid>4711</regid><ftime>x</ftime><ttime>y</ttime></wpmacpradatahr>"); }},
      {"SMART status (null)",
       [&] {
         logged("<wpmacsmartsts><regid>4711</regid><status><![CDATA[(null)]]></status></wpmacsmartsts>");
         std::filesystem::remove(sandbox.root() + "/usr/sbin/smartctl");
       }},
      {"files the uploader never took",
       [&] {
         for (const char* name : {"wpmacasstinfo_4711_20261201000000", "wpmacsmartsts_4711_20261203000000",
                                  "wpmacasstinfo_4711_new", ".autodelete_old"}) {
           const std::string path = sandbox.path(std::string("datapost/") + name);
           writeFile(path, "<x/>");
           const time_t when = std::string(name).ends_with("new") ? ::time(nullptr) : 1796436303 - 5 * 86400;
           const timespec times[2] = {{when, 0}, {when, 0}};
           ::utimensat(AT_FDCWD, path.c_str(), times, 0);
         }
       }},
      {"log gone to the fallback", [&] { writeFile(sandbox.root() + "/tmp/brimvault_NOLOG.log", "entry\n"); }},
  };
  for (const auto& c : fixtureCases("inspect/doctor-silent-failures.cases", 2)) {
    SCOPED_TRACE(c[0]);
    SetUp();
    std::filesystem::remove(log);
    faults.at(c[0])();
    EXPECT_THAT(run("doctor").output, HasSubstr(inSandbox(c[1])));
  }
}

}  // namespace
}  // namespace brim::test
