#pragma once
// Runs a command line through /bin/sh with the given bytes on its standard
// input and returns its standard output: the envelope tests check our bytes
// against independent tools (openssl, python's zlib).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/Sandbox.h"

namespace brim::test {

inline std::string shellOutput(const std::string& command, const std::string& input) {
  char dir[] = "/tmp/brim_envelope_XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    ADD_FAILURE() << "no temporary directory";
    return {};
  }
  const std::string inPath = std::string(dir) + "/in";
  writeFile(inPath, input);
  std::string output;
  if (FILE* pipe = popen(("( " + command + " ) < " + inPath).c_str(), "r")) {
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    EXPECT_EQ(pclose(pipe), 0) << command;
  } else {
    ADD_FAILURE() << "cannot run " << command;
  }
  unlink(inPath.c_str());
  rmdir(dir);
  return output;
}

}  // namespace brim::test
