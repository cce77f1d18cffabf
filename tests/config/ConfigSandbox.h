#pragma once
// A temporary tree that the fixed paths of the tool point into for one test,
// with the settings and web-post files written from fixtures.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "platform/Paths.h"
#include "support/Sandbox.h"

namespace brim::test {

inline const std::string kConfigFixtures = std::string(BRIM_TEST_FIXTURES) + "/config/";

// Replaces each @ENC:text@ of a fixture by the cipher text of text (XML-escaped
// in the fixture) under the shared pass phrase, as the agent's other tools store it.
inline std::string withEncryptedValues(const std::string& fixture) {
  static const std::regex placeholder("@ENC:([^@]*)@");
  std::string out;
  auto last = fixture.cbegin();
  for (std::sregex_iterator it(fixture.begin(), fixture.end(), placeholder), end; it != end; ++it) {
    out.append(last, fixture.cbegin() + it->position());
    out += encrypted(replacedAll((*it)[1].str(), {{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}));
    last = fixture.cbegin() + it->position() + it->length();
  }
  out.append(last, fixture.cend());
  return out;
}

class ConfigSandbox : public ::testing::Test {
 protected:
  std::string settingsPath() const { return Paths::fixed(Paths::kSettingsFile); }
  std::string webPostsPath() const { return Paths::fixed(Paths::kWebPostsFile); }
  void writeSettings(const std::string& text) const { writeFile(settingsPath(), text); }
  void writeWebPosts(const std::string& text) const { writeFile(webPostsPath(), text); }
  std::string readSettings() const { return readFile(settingsPath()); }

  Sandbox sandbox_;
  SandboxRoot root_{sandbox_};
};

}  // namespace brim::test
