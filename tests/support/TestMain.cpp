// The entry of every test executable. Each test process takes its fixed paths
// under a folder of its own before any test runs: a test that logs, or makes
// a run folder, without setting up a sandbox of its own then writes into that
// folder, never into the machine's agent folder or the fallback log in /tmp,
// whoever runs the tests and whatever is installed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/Paths.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::string root = (std::filesystem::temp_directory_path() / "brim_test.XXXXXX").string();
  if (::mkdtemp(root.data()) == nullptr) {
    std::perror("brim tests: no folder of their own for the fixed paths");
    return 1;
  }
  // The fallback log's folder, so that a message logged without a log still lands inside.
  std::filesystem::create_directory(root + "/tmp");
  brim::Paths::setSandboxRoot(root);
  const int status = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return status;
}
