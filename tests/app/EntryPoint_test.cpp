#include <gtest/gtest.h>

#include "support/Sandbox.h"

namespace brim::test {
namespace {

TEST(EntryPointRun, WrongParameterIsAnsweredWithTheUsageText) {
  BRIM_REQUIRE_ROOT();
  Sandbox sandbox;
  sandbox.writeBuildDate();
  sandbox.writeSettings(4711);
  const RunResult result = sandbox.run({"-Software"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_NE(result.output.find("int main(int, const char **):Wrong Parameter"), std::string::npos) << result.output;
}

}  // namespace
}  // namespace brim::test
