// Every category built from what the Linux system_profiler answers on the
// recorded machine trees (its reports are pinned by the tools tests), so that
// tree -> profiler -> collectors is covered end to end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "inventory/ProfilerReplay.h"
#include "inventory/SystemInfo.h"
#include "inventory/collectData.h"
#include "support/SandboxRoot.h"

namespace brim::test {
namespace {

struct Case {
  std::string tree;  // "vm": this build machine; "laptop": the hand-written notebook
  Collector category;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.tree << " " << c.category.name; }

class RecordedLinux : public ::testing::TestWithParam<Case> {
 protected:
  TimeZone utc{"UTC"};  // package dates are written in the system time zone
};

TEST_P(RecordedLinux, BuildsTheReviewedSubtree) {
  const auto& [tree, category] = GetParam();
  ProfilerReplay replay;
  replay.serve(std::string(category.dataType),
               "linux/expected/" + tree + "/" + std::string(category.dataType) + ".xml");
  collectData collector = replay.collector();
  std::string actual = outline((collector.*category.collect)());

  // The time zone element is the test machine's, not the recording's.
  const std::string zone = SystemInfo::timeZone(), zoneMark = "@TIMEZONE@";
  if (const auto at = actual.find("timezone [" + zone + "]"); at != std::string::npos) {
    actual.replace(at + 10, zone.size(), zoneMark);
  }
  const std::string expected = fixture("linux/collected/" + tree + "/" + std::string(category.name) + ".txt");
  // BRIM_UPDATE_EXPECTED=1 rewrites the subtrees after a deliberate change; review the diff.
  if (const char* update = std::getenv("BRIM_UPDATE_EXPECTED"); update && std::string(update) == "1") {
    writeFile(expected, actual);
  }
  EXPECT_EQ(actual, readFile(expected));
  EXPECT_TRUE(replay.filesLeftInDataDir().empty());
}

std::vector<Case> allCases() {
  std::vector<Case> cases;
  for (const char* tree : {"vm", "laptop"}) {
    for (const Collector& category : allCollectors()) cases.push_back({tree, category});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryCollector, RecordedLinux, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.tree + "_" + std::string(info.param.category.name);
                         });

}  // namespace
}  // namespace brim::test
