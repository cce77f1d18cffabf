// How show writes a value follows from how the inventory converted it, so a
// size or a date is recognised wherever a category writes one.
#include "inspect/ShowTitles.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/Sandbox.h"

namespace brim::test {
namespace {

using inspect::ShownAs;

TEST(ShownAs, FollowsTheInventorysConversionAndTheCategorysSizes) {
  const std::map<std::string, ShownAs> named = {{"Text", ShownAs::Text},
                                                {"Bytes", ShownAs::Bytes},
                                                {"DecimalBytes", ShownAs::DecimalBytes},
                                                {"Date", ShownAs::Date}};
  for (const auto& c : fixtureCases("inspect/shown-as.cases", 4)) {
    EXPECT_EQ(inspect::shownAs(inspect::categoryTitle(c[0]), c[1], c[2] == "1"), named.at(c[3]))
        << c[0] << " " << c[1] << " sub " << c[2];
  }
}

}  // namespace
}  // namespace brim::test
