// The system_profiler executable as the tool runs it: through the shell, one
// data type at a time, output redirected to a file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "Readers.h"
#include "ScratchDir.h"
#include "platform/Plist.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

const std::string kProfiler = std::string(BRIM_BIN_DIR) + "/system_profiler";

TEST(ProfilerCommand, ListsExactlyTheDataTypesItAnswers) {
  const ScratchDir scratch("brim_list_types");
  const std::string out = scratch.at("types.txt");
  ASSERT_EQ(std::system((kProfiler + " -listDataTypes >" + out).c_str()), 0);
  std::istringstream in(readFile(out));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "Available Datatypes:");
  size_t count = 0;
  while (std::getline(in, line)) {
    EXPECT_NE(profiler::findDataType(line), nullptr) << line;
    ++count;
  }
  EXPECT_EQ(count, 18u);
}

TEST(ProfilerCommand, ThisMachinesHardwareReportReadsBackAsAPropertyList) {
  const ScratchDir scratch("brim_hardware_report");
  const std::string out = scratch.at("autodelete_SPHardwareDataType.plist");
  ASSERT_EQ(std::system((kProfiler + " SPHardwareDataType -xml >" + out).c_str()), 0);
  Plist document = readPlistFile(out);
  ASSERT_TRUE(document);
  ASSERT_EQ(plist_array_get_size(document.get()), 1u);
  plist_t report = plist_array_get_item(document.get(), 0);
  EXPECT_EQ(plistString(plistDictItem(report, "_dataType")), "SPHardwareDataType");
  plist_t item = plist_array_get_item(plistDictItem(report, "_items"), 0);
  const auto name = plistString(plistDictItem(item, "machine_name"));
  ASSERT_TRUE(name);
  EXPECT_FALSE(name->empty());
  EXPECT_EQ(name->find('/'), std::string::npos);
  EXPECT_TRUE(plistString(plistDictItem(item, "physical_memory")));
}

// An unknown data type is skipped; a report it cannot write (a full disk) fails the run.
TEST(ProfilerCommand, WhatItCannotAnswerOrWriteIsSaid) {
  const ScratchDir scratch("brim_unknown_type");
  const std::string out = scratch.at("out.txt");
  const int skipped = std::system((kProfiler + " SPNoSuchDataType -xml >" + out + " 2>&1").c_str());
  EXPECT_EQ(WEXITSTATUS(skipped), 0);
  EXPECT_EQ(readFile(out), "system_profiler: unknown data type SPNoSuchDataType\n");
  const int full = std::system((kProfiler + " SPHardwareDataType -xml >/dev/full 2>" + out).c_str());
  EXPECT_EQ(WEXITSTATUS(full), 1);
  EXPECT_EQ(readFile(out), "system_profiler: cannot write the report\n");
}

}  // namespace
}  // namespace brim::test
