// Every category against the cases of tests/data. A case is a folder holding
// what the profiler answers ("<DataType>.xml": recorded on real Macs, hand-made
// in the shapes real machines produce less often, or answered by the Linux
// system_profiler on the recorded machine trees, whose reports the tools tests
// pin), the reviewed outline of every category that reads one of them
// ("<category>.txt") and "shows", the line saying what the case shows. Then how
// the categories run the profiler, and what they do when it is missing, fails
// or writes something that is not a report.
#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "inventory/CategoryTables.h"
#include "inventory/CategoryViews.h"
#include "inventory/ProfilerReplay.h"
#include "inventory/ProfilerRun.h"
#include "inventory/ProfilerValues.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"
#include "platform/Plist.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> dataCases() {
  std::vector<std::string> cases;
  for (const fs::directory_entry& entry : fs::directory_iterator(testData(""))) {
    cases.push_back(entry.path().filename());
  }
  std::sort(cases.begin(), cases.end());
  return cases;
}

class DataCase : public ::testing::TestWithParam<std::string> {};

TEST_P(DataCase, EachCategoryReadingItsReportsBuildsTheReviewedSubtree) {
  TimeZone utc{"UTC"};  // dates are written in the system time zone
  const std::string dir = testData(GetParam()) + "/", shows = readFile(dir + "shows");
  ASSERT_TRUE(shows.size() > 1 && shows.find('\n') == shows.size() - 1) << dir << "shows: one line, what it shows";
  SCOPED_TRACE(shows);
  ProfilerReplay replay;
  std::ptrdiff_t outlines = 0;
  for (const CategoryView& category : inventoryCategories()) {
    const std::string dataType(category.dataType);
    if (!fs::exists(dir + dataType + ".xml")) continue;
    replay.serve(dataType, GetParam());
    collectData collector = replay.collector();
    std::string actual = outline(collector.collect(category));
    // The time zone element is the test machine's, not the recording's.
    const std::string zone = "timezone [" + SystemInfo::timeZone() + "]";
    if (const auto at = actual.find(zone); at != std::string::npos)
      actual.replace(at, zone.size(), "timezone [@TIMEZONE@]");
    expectAsReviewed(dir + std::string(category.name) + ".txt", actual);
    ++outlines;
  }
  // No outline is left that no category compared.
  EXPECT_GT(outlines, 0);
  EXPECT_EQ(std::count_if(fs::directory_iterator(dir), fs::directory_iterator(),
                          [](const fs::directory_entry& file) { return file.path().extension() == ".txt"; }),
            outlines);
  EXPECT_TRUE(replay.dataDirEmpty());
}

INSTANTIATE_TEST_SUITE_P(Data, DataCase, ::testing::ValuesIn(dataCases()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// A category made up for the test, appended to the hardware list as a new
// one would be.
struct MadeUpInfo {
  RecordValue name;
  RecordValue colour;
};
const std::tuple kHardwareAndMadeUp = std::tuple_cat(
    tables::kHardwareCategories,
    std::tuple{Category<MadeUpInfo>{
        .operation = "getMadeUpInfo",
        .dataType = "SPMadeUpDataType",
        .fileName = "autodelete_SPMadeUpDataType.plist",
        .name = "madeupinfo",
        .fields = {{"name", &MadeUpInfo::name, {"_name"}}, {"colour", &MadeUpInfo::colour, {"colour"}}}}});

// The hardware document is its list's categories in the list's order: one
// appended at the end is written last, after every category already there.
TEST(CategoryList, ACategoryAppendedToTheHardwareListIsWrittenLastInItsDocument) {
  const std::vector<CategoryView> extended = viewsOf<kHardwareAndMadeUp>();
  const std::span<const CategoryView> hardware = categoriesOf(Document::Hardware);
  ASSERT_EQ(extended.size(), hardware.size() + 1);
  for (std::size_t i = 0; i < hardware.size(); ++i) EXPECT_EQ(extended[i].name, hardware[i].name);

  ProfilerReplay replay;
  replay.serveItems("SPMadeUpDataType",
                    "<dict><key>_name</key><string>first</string><key>colour</key><string>red</string></dict>"
                    "<dict><key>_name</key><string>second</string></dict>");
  collectData collector = replay.collector();
  std::string text;
  for (const CategoryView& category : extended) collector.appendCategory(category, text);
  EXPECT_TRUE(
      text.ends_with("<fn><fnname>madeupinfo</fnname><dtl "
                     "ID=\"0\"><name><![CDATA[first]]></name><colour><![CDATA[red]]></colour></dtl>"
                     "<dtl ID=\"1\"><name><![CDATA[second]]></name><colour><![CDATA[(null)]]></colour></dtl></fn>"))
      << text.substr(text.rfind("<fn>"));
  EXPECT_EQ(text.find("madeupinfo"), text.rfind("madeupinfo"));
  EXPECT_TRUE(replay.dataDirEmpty());
}

std::string nestedReport(size_t levels) {
  return "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict><key>_items</key><array><dict><key>_name</key>" +
         nestedArrays(levels) + "</dict></array></dict></array></plist>";
}

TEST(ProfilerRun, EveryCategoryWithoutAUsableReportIsEmpty) {
  std::vector<std::string> garbage{nestedReport(300), nestedReport(200000), ""};
  for (const auto& c : fixtureCases("inventory/unusable-reports.cases", 1)) garbage.push_back(c[0]);
  for (const std::string& text : garbage) {
    ProfilerReplay replay;
    for (const CategoryView& category : inventoryCategories()) replay.serveText(std::string(category.dataType), text);
    collectData collector = replay.collector();
    for (const CategoryView& category : inventoryCategories()) {
      // The subtree of a category without records; the locations write nothing at all.
      const std::string empty =
          "fn\n" + (category.name == "locations" ? "" : "  fnname \"" + std::string(category.name) + "\"\n");
      EXPECT_EQ(outline(collector.collect(category)), empty) << category.name << " from " << text;
    }
    EXPECT_TRUE(replay.dataDirEmpty());
  }
}

// A report the profiler could not write whole reads as no items, and says so
// on every run: the shell could not open the file, the disk was full, or the
// report is not a file or too large to read.
TEST(ProfilerRun, AReportNotWrittenWholeIsLoggedAndReadsAsNoItems) {
  const std::string file = "/autodelete_SPMemoryDataType.plist", memory = testData("mac-a/SPMemoryDataType.xml");
  const struct {
    const char* situation;
    std::function<void(ProfilerReplay&, collectData&)> arrange;
    const char* logged;  // after the path (in the command line, quoted)
  } cases[] = {
      {"no data directory", [](auto& replay, auto& collector) { collector.dataDir = replay.dataDir() + "/missing"; },
       "': report not written or cut short (exit status 2)"},
      {"full disk",
       [&](auto& replay, auto&) {
         replay.serve("SPMemoryDataType", "mac-a");
         std::filesystem::create_symlink("/dev/full", replay.dataDir() + file);
       },
       "': report not written or cut short (exit status 1)"},
      // A device put where the report goes would be read for ever.
      {"endless device",
       [&](auto& replay, auto&) { std::filesystem::create_symlink("/dev/zero", replay.dataDir() + file); },
       ": not a regular file: not read"},
      {"over 256 MiB",
       [&](auto& replay, auto&) {
         replay.serveScript("SPMemoryDataType",
                            "cat '" + memory + "'; perl -e 'truncate(STDOUT, 300 << 20) or exit 1'\n");
       },
       ": report of 314572800 bytes is over 268435456: not read"},
  };
  for (const auto& [situation, arrange, logged] : cases) {
    if (std::string(situation) == "full disk") BRIM_LINUX_ONLY_CASE("a Mac has no /dev/full");
    ProfilerReplay replay;
    collectData collector = replay.collector();
    arrange(replay, collector);
    const std::string log = stdoutOf([&] {
      EXPECT_EQ(outline(collector.collect(viewNamed("memoryinfo"))), "fn\n  fnname \"memoryinfo\"\n") << situation;
    });
    EXPECT_NE(log.find(*collector.dataDir + file + logged + "\n"), std::string::npos) << situation << "\n" << log;
    EXPECT_TRUE(replay.dataDirEmpty()) << situation;
  }
}

// Each category runs the exact command, removes its report file and logs its
// own name, or reads the report a category before it read and says so; the
// collectors that count what they read log the counts, Bluetooth services once
// while reading and once while writing.
TEST(ProfilerRun, RunsTheExactCommandRemovesItsFileAndLogsTheCounts) {
  ProfilerReplay replay;
  replay.serve("SPUSBDataType", "usb-nested");
  replay.serve("SPBluetoothDataType", "mac-bluetooth-paired");
  for (const std::string type :
       {"SPMemoryDataType", "SPCardReaderDataType", "SPDiscBurningDataType", "SPNetworkDataType"}) {
    replay.serve(type, "mac-a");
  }
  collectData collector = replay.collector();
  const std::string log = stdoutOf([&] {
    for (const char* category : {"memoryinfo", "systeminfo", "usbinfo", "blthservices", "blthdevices", "sdcardreader",
                                 "discburning", "networkinfo"}) {
      collector.collect(viewNamed(category));
    }
  });
  using ::testing::_;
  EXPECT_THAT(replay.calls(), ::testing::ElementsAre("system_profiler SPMemoryDataType -xml >" + replay.dataDir() +
                                                         "/autodelete_SPMemoryDataType.plist",
                                                     "system_profiler SPSoftwareDataType -xml >" + replay.dataDir() +
                                                         "/autodelete_SPsoftwareDataType.plist",
                                                     _, _, _, _, _));
  EXPECT_TRUE(replay.dataDirEmpty());
  for (const auto& c : fixtureCases("inventory/profiler-run-log.cases", 1))
    EXPECT_NE(log.find(c[0]), std::string::npos) << c[0] << "\n---\n" << log;
}

// Reports are read item by item where their markup allows it, and whole
// otherwise: either way the items, their count and whether there are any at
// all are those of the whole report. The software document takes the
// applications straight from their report: the same text as their subtree.
TEST(ProfilerRun, ItemByItemReadingGivesTheItemsAndTheSubtreeOfTheWholeReport) {
  TimeZone utc{"UTC"};
  const std::string recorded = readFile(testData("mac-a/SPApplicationsDataType.xml"));
  auto report = [](const std::string& items, const std::string& before = "", const std::string& after = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\"><array><dict>" +
           before + "<key>_items</key><array>" + items + "</array>" + after + "</dict></array></plist>\n";
  };
  std::vector<std::string> reports{recorded, readFile(testData("firewall-string-item/SPFirewallDataType.xml"))};
  for (const auto& c : fixtureCases("inventory/applications-odd-reports.cases", 1)) reports.push_back(c[0]);
  for (const auto& c : fixtureCases("inventory/applications-reports.cases", 3))
    reports.push_back(report(c[0], c[1], c[2]));
  for (const std::string& text : reports) {
    ProfilerReplay replay;
    replay.serveText("SPApplicationsDataType", text);
    ProfilerRun whole(replay.dataDir(), "SPApplicationsDataType", "whole.plist");
    std::vector<std::string> expected;
    for (plist_t item : elementsOf(whole.items())) expected.push_back(plistToXml(item));
    const std::optional<std::size_t> expectedCount =
        whole.arrayNotEmpty() ? std::optional<std::size_t>(expected.size()) : std::nullopt;

    ProfilerRun streamed(replay.dataDir(), "SPApplicationsDataType", "streamed.plist");
    std::vector<std::string> items;
    std::optional<std::size_t> count;
    streamed.forEachItem([&](std::size_t n) { count = n; }, [&](plist_t item) { items.push_back(plistToXml(item)); });
    EXPECT_EQ(items, expected) << text.substr(0, 400);
    EXPECT_EQ(count, expectedCount) << text.substr(0, 400);
    if (text == recorded) {
      EXPECT_GT(items.size(), 500u);
    }
    collectData collector = replay.collector();
    std::string subtree = "<r>", written = "<r>";
    collector.collect(viewNamed("applicationinfo")).appendRootText(subtree);
    collector.appendCategory(viewNamed("applicationinfo"), written);
    EXPECT_EQ(written, subtree) << text.substr(0, 400);
    EXPECT_TRUE(replay.dataDirEmpty());
  }
}

}  // namespace
}  // namespace brim::test
