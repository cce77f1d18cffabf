// brim_inspect show on the documents the recorded machines wrote: as text, as
// JSON, as a page a real browser renders, with values that try to be markup or
// control sequences, and two documents of one machine compared.
#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "inventory/InventoryCategories.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr const char* kScanned = "<scandttime>12/05/2026 23:41:07</scandttime>";

// A recorded machine's reviewed document with the scan time the review leaves out.
std::string recordedDocument(const std::string& machine, const std::string& kind) {
  std::string document = readFile(fixture("reports/documents/" + machine + "_" + kind + ".xml"));
  document.insert(document.find("</regid>") + 8, kScanned);
  return document;
}

std::string replacedOnce(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The shown text with the temporary folder's name taken out.
std::string withoutFolder(std::string text, const std::string& folder) {
  for (size_t at; (at = text.find(folder)) != std::string::npos;) text.replace(at, folder.size(), "DIR");
  return text;
}

// A folder of documents for one test.
struct Documents {
  Sandbox sandbox;
  std::string add(const std::string& name, const std::string& text) const {
    const std::string file = sandbox.root() + "/" + name;
    writeFile(file, text);
    return file;
  }
  // The machine's documents, as quoted operands.
  std::string recorded(const std::string& machine, bool withSoftware = true) const {
    const std::string hardware = add(machine + "_hardware", recordedDocument(machine, "hardware"));
    return withSoftware ? hardware + "' '" + add(machine + "_software", recordedDocument(machine, "software"))
                        : hardware;
  }
};

// What a person reads: the machine at a glance, then every category with its
// titles, including the shapes that nest (two memory groups, chained locations).
// The Mac's 596 applications are left to the page.
TEST(ShowText, RecordedMachinesAsReviewed) {
  TimeZone utc{"UTC"};
  for (const char* machine : {"mac_a", "shapes"}) {
    Documents documents;
    const RunResult shown = runInspect("show '" + documents.recorded(machine, machine != std::string("mac_a")) + "'");
    EXPECT_EQ(shown.exitStatus, 0) << shown.output;
    expectAsReviewed(fixture(std::string("inspect/show/") + machine + ".txt"),
                     withoutFolder(shown.output, documents.sandbox.root()));
  }
}

// The same content for scripts: valid JSON, keyed by the document's element
// names, one entry per record, an unreported value as null.
TEST(ShowJson, HoldsEveryRecordOfEveryRecordedMachine) {
  for (const char* machine : {"mac_a", "linux_vm", "linux_laptop", "mac_samples", "shapes"}) {
    Documents documents;
    const std::string json =
        documents.add("shown.json", runInspect("show --json '" + documents.recorded(machine) + "'").output);
    EXPECT_EQ(runShell("python3 -m json.tool '" + json + "' >/dev/null").exitStatus, 0) << machine;
    const std::string counts = shellOutput(
        "python3 -c 'import json,sys\n"
        "d = json.load(open(sys.argv[1]))\n"
        "values = [v for doc in d[\"documents\"] for fn in doc[\"fn\"] for r in fn[\"dtl\"] for v in r.values()]\n"
        "subs = [v for v in values if isinstance(v, list)]\n"
        "values += [v for s in subs for r in s for v in r.values()]\n"
        "apps = [r[\"appname\"] for doc in d[\"documents\"] for fn in doc[\"fn\"] if fn[\"fnname\"] == "
        "\"applicationinfo\""
        " for r in fn[\"dtl\"]]\n"
        "print(sum(v is None for v in values), len(apps))' '" +
        json + "'");
    const std::string xml = recordedDocument(machine, "hardware") + recordedDocument(machine, "software");
    EXPECT_EQ(counts, std::to_string(occurrences(xml, std::regex(R"(\(null\))"))) + " " +
                          std::to_string(occurrences(xml, std::regex("<appname>"))) + "\n")
        << machine;
  }
}

// An application that names itself like markup, a control sequence, bytes
// that are no UTF-8 and the end of a CDATA section.
const std::string kHostileName = "<script>alert(\"x\")</script> ]]]]><![CDATA[> \x1b[2J \xff";

std::string hostileSoftware() {
  return replacedOnce(recordedDocument("mac_a", "software"), "<![CDATA[VMware Fusion]]>",
                      "<![CDATA[" + kHostileName + "]]>");
}

TEST(ShowHostileValues, StayTextInEveryForm) {
  Documents documents;
  const std::string file = documents.add("hostile", hostileSoftware());
  const std::string page = runInspect("show --html - '" + file + "'").output;
  EXPECT_EQ(occurrences(page, std::regex("<script")), 1) << "only the page's own script";
  EXPECT_THAT(page, HasSubstr("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; ]]&gt; \\x1b[2J \\xff"));
  const std::string text = runInspect("show '" + file + "'").output;
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
  EXPECT_THAT(text, HasSubstr("<script>alert(\"x\")</script> ]]> \\x1b"));
  const std::string json = documents.add("hostile.json", runInspect("show --json '" + file + "'").output);
  EXPECT_EQ(runShell("python3 -m json.tool '" + json + "' >/dev/null").exitStatus, 0);
  const std::string original = documents.add("original", recordedDocument("mac_a", "software"));
  const std::string diffPage = runInspect("show --diff --html - '" + original + "' '" + file + "'").output;
  EXPECT_EQ(occurrences(diffPage, std::regex("<script")), 0) << "the comparison runs no script";
  EXPECT_THAT(diffPage, HasSubstr("script-src 'none'"));
  EXPECT_THAT(diffPage, HasSubstr("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; ]]&gt; \\x1b[2J \\xff"));
}

// Whatever is wrong, one clear line, exit status 2, and no page left behind.
TEST(ShowBadInput, SaysWhatIsWrongAndWritesNothing) {
  Documents documents;
  const std::string page = documents.sandbox.root() + "/page.html";
  for (const auto& c : fixtureCases("inspect/show-bad-input.cases", 3)) {
    const std::string file = documents.add("input", c[1]);
    const RunResult shown = runInspect("show --html '" + page + "' '" + file + "'");
    EXPECT_EQ(shown.exitStatus, 2) << c[0];
    EXPECT_THAT(shown.output, HasSubstr(c[2])) << c[0];
    EXPECT_FALSE(fs::exists(page)) << c[0];
  }
  const std::string good = documents.add("good", recordedDocument("mac_a", "hardware"));
  for (const auto& [arguments, message] :
       std::vector<std::pair<std::string, std::string>>{{"show", "show needs at least one file"},
                                                        {"show '" + good + "' missing", "missing: cannot be read"},
                                                        {"show --diff '" + good + "'", "takes two files"},
                                                        {"show --json --html x '" + good + "'", "give one"},
                                                        {"check --html x '" + good + "'", "go with show"}}) {
    const RunResult shown = runInspect(arguments);
    EXPECT_EQ(shown.exitStatus, 2) << arguments;
    EXPECT_THAT(shown.output, HasSubstr(message)) << arguments;
  }
  // A page that cannot be written is not written at all (1, as for any file not written).
  const RunResult noFolder = runInspect("show --html '" + documents.sandbox.root() + "/none/page.html' '" + good + "'");
  EXPECT_EQ(noFolder.exitStatus, 1);
  EXPECT_THAT(noFolder.output, HasSubstr("not written"));
  // A link planted where the page goes is replaced, not followed.
  const std::string victim = documents.add("victim", "keep me\n");
  fs::create_symlink(victim, page);
  EXPECT_EQ(runInspect("show --html '" + page + "' '" + good + "'").exitStatus, 0);
  EXPECT_EQ(readFile(victim), "keep me\n");
  EXPECT_FALSE(fs::is_symlink(page));
  for (const auto& entry : fs::directory_iterator(documents.sandbox.root()))
    EXPECT_FALSE(entry.path().filename().string().starts_with(".brim_inspect_show")) << entry.path();
}

// Two documents of a machine: applications installed and removed, one
// updated; memory and a disk changed.
TEST(ShowDiff, NamesWhatWasAddedRemovedAndChanged) {
  TimeZone utc{"UTC"};
  Documents documents;
  const std::string hardware = recordedDocument("mac_a", "hardware");
  const std::string software = recordedDocument("mac_a", "software");
  std::string later = replacedOnce(software, "<![CDATA[Twitter]]>", "<![CDATA[Mastodon]]>");
  later = replacedOnce(later, "<appver><![CDATA[17.0.1]]>", "<appver><![CDATA[18.0]]>");
  later = std::regex_replace(later, std::regex(R"(<dtl ID="595">.*?</dtl>)"), "");
  later = replacedOnce(later, "<scandttime>12/05/2026", "<scandttime>12/06/2026");
  std::string laterHardware =
      replacedOnce(hardware, "<memory><![CDATA[8589934592]]>", "<memory><![CDATA[17179869184]]>");
  laterHardware = replacedOnce(laterHardware, "<size><![CDATA[4294967296]]>", "<size><![CDATA[12884901888]]>");
  laterHardware =
      replacedOnce(laterHardware, "<capacity><![CDATA[805306368000]]>", "<capacity><![CDATA[1000204886016]]>");
  const std::string diff =
      runInspect("show --diff '" + documents.add("sw1", software) + "' '" + documents.add("sw2", later) + "'").output;
  const RunResult hardwareDiff =
      runInspect("show --diff '" + documents.add("hw1", hardware) + "' '" + documents.add("hw2", laterHardware) + "'");
  EXPECT_EQ(hardwareDiff.exitStatus, 1);
  expectAsReviewed(fixture("inspect/show/mac_a.diff.txt"),
                   withoutFolder(diff + hardwareDiff.output, documents.sandbox.root()));

  // The same comparison as a page: the body reviewed, the head being the show page's.
  const std::string page = documents.sandbox.root() + "/diff.html";
  std::string pages;
  for (const std::string kind : {"sw", "hw"}) {
    const std::string older = documents.sandbox.root() + "/" + kind + "1";
    const RunResult written = runInspect("show --diff --html '" + page + "' '" + older + "' '" +
                                         documents.sandbox.root() + "/" + kind + "2'");
    EXPECT_EQ(written.exitStatus, 1) << written.output;
    const std::string html = readFile(page);
    pages += html.substr(html.find("<body>"));
  }
  expectAsReviewed(fixture("inspect/show/mac_a.diff.html"), withoutFolder(pages, documents.sandbox.root()));

  const RunResult same =
      runInspect("show --diff '" + documents.sandbox.root() + "/hw1' '" + documents.sandbox.root() + "/hw1'");
  EXPECT_EQ(same.exitStatus, 0);
  EXPECT_THAT(same.output, HasSubstr("No change."));
  const RunResult json = runInspect("show --diff --json '" + documents.sandbox.root() + "/sw1' '" +
                                    documents.sandbox.root() + "/sw2' | python3 -m json.tool >/dev/null");
  EXPECT_EQ(json.exitStatus, 0) << json.output;
  EXPECT_EQ(runInspect("show --diff '" + documents.sandbox.root() + "/hw1' '" + documents.sandbox.root() + "/sw1'")
                .exitStatus,
            2);
}

// ---------------------------------------------------------------------------
// The page in a real browser.

constexpr const char* kChromium = "/usr/bin/chromium";

// Headless Chromium on each page at once (it mostly waits); standard output
// (the document after the page's script ran, for --dump-dom) into <name>.dom,
// its log with what the page wrote to the console into <name>.log.
void renderAll(const std::string& folder, const std::vector<std::array<std::string, 3>>& jobs) {
  std::string command = "cd '" + folder + "' && (";
  for (const auto& [name, url, action] : jobs) {
    command += std::string(kChromium) + " --headless --no-sandbox --disable-gpu --no-first-run" +
               " --disable-extensions --disable-background-networking --disable-component-update --disable-sync" +
               " --enable-logging=stderr --v=0 --user-data-dir=profile-" + name + " " + action + " '" + url + "' > " +
               name + ".dom 2> " + name + ".log & ";
  }
  EXPECT_EQ(runShellWithin(command + "wait)", std::chrono::seconds(240)).exitStatus, 0);
}

std::vector<std::string> consoleLines(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.find(":CONSOLE") != std::string::npos) lines.push_back(line);
  }
  return lines;
}

struct ShownSection {
  int count = -1;                 // as the page states it
  std::vector<std::string> rows;  // of the records table, as rendered
};

std::map<std::string, ShownSection> sections(const std::string& dom) {
  static const std::regex kSection(
      R"re(<section class="category" id="[^"]*" data-fnname="([^"]*)" data-count="(\d+)">)re");
  std::map<std::string, ShownSection> found;
  for (std::sregex_iterator m(dom.begin(), dom.end(), kSection), end; m != end; ++m) {
    const size_t from = static_cast<size_t>(m->position()) + m->length();
    const size_t body = dom.find("<tbody>", from);
    const std::string rows = dom.substr(body, dom.find("</tbody>", body) - body);
    ShownSection& section = found[(*m)[1]];
    section.count = std::stoi((*m)[2]);
    EXPECT_THAT(dom.substr(from, 300), HasSubstr((*m)[2].str() + ((*m)[2] == "1" ? " record<" : " records<")));
    static const std::regex kRow("<tr[ >].*?</tr>");
    for (std::sregex_iterator r(rows.begin(), rows.end(), kRow); r != end; ++r) section.rows.push_back(r->str());
  }
  return found;
}

void expectEveryCategoryWithItsRecords(const std::string& dom, const std::string& page) {
  const std::map<std::string, ShownSection> shown = sections(dom);
  for (const CategoryView& category : inventoryCategories()) {
    const auto section = shown.find(std::string(category.name));
    ASSERT_NE(section, shown.end()) << page << ": no table of " << category.name;
    EXPECT_EQ(section->second.rows.size(), static_cast<size_t>(section->second.count)) << page << category.name;
  }
}

// This machine's documents, as the stand-ins report it.
std::pair<std::string, std::string> thisMachinesDocuments() {
  Sandbox sandbox;
  sandbox.writeBuildDate();
  sandbox.writeSettings(4711);
  sandbox.writeExecutable(sandbox.fakeBinDir() + "/system_profiler",
                          "#!/bin/sh\nexec '" BRIM_BIN_DIR "/system_profiler' \"$@\"\n");
  sandbox.runExpecting(0, {});
  const std::string hardware = sandbox.takeDataPostFile("wpmacasstinfo");
  sandbox.runExpecting(0, {"-software"});
  return {hardware, sandbox.takeDataPostFile("wpmacasstswinfo")};
}

// Loads without a console message (a script error or a blocked resource would
// write one), every category's table holds its records, and the search box and
// sorting work as a person would use them (the fragment types and clicks). The
// screenshots stay in the build folder for a person to look at.
TEST(ShowInBrowser, RendersEveryTableWithSortingAndSearch) {
  if (!fs::exists(kChromium)) {
    if (std::getenv("CI")) FAIL() << "CI must render the page: scripts/install-deps.sh installs chromium";
    GTEST_SKIP() << "no " << kChromium << " to render the page with (scripts/install-deps.sh installs chromium)";
  }
  Documents documents;
  const std::string folder = documents.sandbox.root();
  const std::string macSoftware = hostileSoftware();
  const std::string macA = documents.add("mac-a.html", "");
  ASSERT_EQ(runInspect("show --html '" + macA + "' '" + documents.add("hw", recordedDocument("mac_a", "hardware")) +
                       "' '" + documents.add("sw", macSoftware) + "'")
                .exitStatus,
            0);
  // The recorded software against the one with the hostile name: one application replaced.
  const std::string diff = documents.add("diff.html", "");
  ASSERT_EQ(runInspect("show --diff --html '" + diff + "' '" +
                       documents.add("sw-before", recordedDocument("mac_a", "software")) + "' '" + folder + "/sw'")
                .exitStatus,
            1);
  // What a page with a script error logs, to know that the check would see it.
  const std::string broken = documents.add("broken.html", "<!DOCTYPE html><script>undefinedFunction();</script>");
  const std::string shots = fs::path(BRIM_BIN_DIR).parent_path().string();
  const std::string shot = "--window-size=1280,2000 --dump-dom --screenshot=" + shots;
  std::vector<std::array<std::string, 3>> jobs = {
      {"mac-a", "file://" + macA + "#search=applicationinfo:microsoft&sort=applicationinfo:lastmodified:desc",
       shot + "/show-mac-a.png"},
      {"diff", "file://" + diff, shot + "/show-diff.png"},
      {"broken", "file://" + broken, "--dump-dom"}};
  std::vector<std::string> pages = {"mac-a"};
  // This machine's documents come from a run of the tool, which does nothing for other users.
  const bool asRoot = ::geteuid() == 0;
  if (asRoot) {
    const auto [hardware, software] = thisMachinesDocuments();
    const std::string machine = documents.add("machine.html", "");
    ASSERT_EQ(runInspect("show --html '" + machine + "' '" + documents.add("this-hw", hardware) + "' '" +
                         documents.add("this-sw", software) + "'")
                  .exitStatus,
              0);
    jobs.push_back({"machine", "file://" + machine, shot + "/show-this-machine.png"});
    pages.emplace_back("machine");
  }
  renderAll(folder, jobs);
  EXPECT_THAT(consoleLines(readFile(folder + "/broken.log")), ::testing::Not(::testing::IsEmpty()));
  for (const std::string& page : pages) {
    EXPECT_THAT(consoleLines(readFile(folder + "/" + page + ".log")), ::testing::IsEmpty()) << page;
    expectEveryCategoryWithItsRecords(readFile(folder + "/" + page + ".dom"), page);
  }
  EXPECT_THAT(consoleLines(readFile(folder + "/diff.log")), ::testing::IsEmpty());
  const std::string diffDom = readFile(folder + "/diff.dom");
  EXPECT_THAT(diffDom, HasSubstr(R"(data-fnname="applicationinfo" data-added="1" data-removed="1" data-changed="0")"));
  EXPECT_EQ(occurrences(diffDom, std::regex(R"re(<tr class="(added|removed)">)re")), 2);
  const std::string dom = readFile(folder + "/mac-a.dom");
  const ShownSection applications = sections(dom).at("applicationinfo");
  EXPECT_EQ(applications.count, occurrences(macSoftware, std::regex("<appname>")));
  // The search hides every row without the word, and only those.
  size_t shown = 0;
  for (const std::string& row : applications.rows) {
    const bool hidden = row.starts_with("<tr hidden");
    std::string text = std::regex_replace(row, std::regex("<[^>]*>"), "");
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_EQ(hidden, text.find("microsoft") == std::string::npos) << row;
    shown += hidden ? 0 : 1;
  }
  EXPECT_GT(shown, 0u);
  EXPECT_THAT(dom, HasSubstr(std::to_string(shown) + " of " + std::to_string(applications.rows.size()) + " shown"));
  // Sorted by the last modification, latest first.
  EXPECT_EQ(occurrences(dom, std::regex(R"(<th data-element="lastmodified"[^>]*aria-sort="descending")")), 1);
  std::vector<std::string> dates;
  for (const std::string& row : applications.rows) {
    std::smatch date;
    if (std::regex_search(row, date, std::regex(R"(data-v="(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)\")")))
      dates.push_back(date[1]);
  }
  EXPECT_GT(dates.size(), 100u);
  EXPECT_TRUE(std::ranges::is_sorted(dates, std::greater<>()));
  // The application named like markup is shown as its text.
  EXPECT_EQ(occurrences(dom, std::regex("<script")), 1);
  EXPECT_THAT(dom, HasSubstr("&lt;script&gt;alert(\"x\")&lt;/script&gt; ]]&gt;"));
  EXPECT_TRUE(fs::file_size(shots + "/show-mac-a.png") > 10000);
  if (!asRoot) GTEST_SKIP() << "the recorded Mac's pages were rendered; this machine's needs root to run the tool";
}

}  // namespace
}  // namespace brim::test
