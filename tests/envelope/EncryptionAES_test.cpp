#include "envelope/EncryptionAES.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "BuildConfig.h"
#include "envelope/Base64.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

// The pass phrase of the known answers, and the key derived from it.
const std::string kKnownPassPhrase = "0123456789abcdefghijklmnopqrstuv";
const std::string kKnownKey = "aa4bc671b4c1c7a38e29800f50ef63461f299f03c63edcca325f67406f188d9d";

// One instance serves every key: a text encrypted under another pass phrase in
// between changes nothing. Empty text stays empty both ways. A character
// beyond ISO-8859-1 travels as "?". Base64 reads alike on every system.
TEST(EncryptionAES, KnownAnswersBothWays) {
  EncryptionAES cipher;
  const std::string& known = kKnownPassPhrase;
  constexpr const char* kOther = "AnotherPassPhrase0123456789abcde";
  for (const auto& c : fixtureCases("envelope/cipher-answers.cases", 2)) {
    const std::string &plain = c[0], &sent = c[1];
    EXPECT_EQ(cipher.decryptChilkat(cipher.encryptChilkat(plain, kOther), kOther), plain);
    EXPECT_EQ(cipher.encryptChilkat(plain, known), sent) << plain;
    EXPECT_EQ(cipher.decryptChilkat(sent, known), plain) << sent;
  }
  // The euro sign (three bytes in UTF-8), a four-byte emoji and a stray continuation byte.
  const std::string beyond = cipher.encryptChilkat("5 \xE2\x82\xAC \xF0\x9F\x98\x80 \x80!", known);
  EXPECT_EQ(beyond, cipher.encryptChilkat("5 ? ? ?!", known));
  EXPECT_EQ(cipher.decryptChilkat(beyond, known), "5 ? ? ?!");
  for (const auto& c : fixtureCases("envelope/base64-answers.cases", 2))
    EXPECT_EQ(decodeBase64(c[0]), c[1] == "(refused)" ? std::nullopt : std::optional(c[1])) << c[0];
}

// The shared answers and the compiled-in pass phrase against the md5, base64
// and openssl tools, both ways.
TEST(EncryptionAES, AgreesWithTheOpensslTool) {
  if (runShell("openssl version >/dev/null 2>&1").exitStatus != 0) GTEST_SKIP() << "needs the openssl tool";
  EncryptionAES cipher;
  const std::string knownKey =
      "openssl enc -aes-256-cbc -iv 00000000000000000000000000000000 -base64 -A -K " + kKnownKey;
  for (const auto& c : fixtureCases("envelope/cipher-answers.cases", 2)) {
    if (c[0].empty()) continue;  // the tool would still write one block of padding
    EXPECT_EQ(shellOutput("iconv -f UTF-8 -t ISO-8859-1 | " + knownKey, c[0]), c[1]);
  }

  // The compiled-in pass phrase, a key made with the md5 and base64 tools,
  // and openssl's own AES-256-CBC with PKCS#7 padding must agree with us both ways.
  const std::string passPhrase = build::kPassPhrase;
  const std::string md5 = "openssl md5 -r | cut -c1-32 | tr -d '\\n'";
  const std::string key = shellOutput(md5, passPhrase) + shellOutput("openssl base64 -A | " + md5, passPhrase);
  ASSERT_EQ(key.size(), 64u) << key;
  const std::string aes = "openssl enc -aes-256-cbc -K " + key + " -iv 00000000000000000000000000000000 -base64 -A";

  // A settings value of several blocks, with ISO-8859-1 letters beyond ASCII.
  const std::string utf8 = "proxy.example.com:3128 user=J\xC3\xBCrgen pass=\xC3\xA9t\xC3\xA9-2026 \xC2\xA7<&>\"'";
  const std::string latin1 = "proxy.example.com:3128 user=J\xFCrgen pass=\xE9t\xE9-2026 \xA7<&>\"'";

  const std::string ours = cipher.encryptChilkat(utf8, passPhrase);
  EXPECT_EQ(ours, shellOutput(aes, latin1));
  EXPECT_EQ(shellOutput(aes + " -d", ours + "\n"), latin1);
  EXPECT_EQ(cipher.decryptChilkat(ours, passPhrase), utf8);
}

// Padding is never checked: the last byte says how much to cut, however much
// of the text is left. Damaged text yields text, not failure (a wrong pass
// phrase is shown by brim_inspect's decode, which names it).
TEST(EncryptionAES, DamagedTextIsCutByItsLastByte) {
  EncryptionAES cipher;
  const std::string& known = kKnownPassPhrase;
  // Byte 31 (the end of the second block) is 0x05.
  const std::string plain = std::string(31, 'a') + "\x05" + std::string(16, 'b');
  const auto bytes = decodeBase64(cipher.encryptChilkat(plain, known));
  ASSERT_TRUE(bytes.has_value());
  ASSERT_EQ(bytes->size(), 64u);
  const std::pair<std::string, std::string> cases[] = {
      // Cut inside the third block: the partial block is dropped, then 5 bytes.
      {encodeBase64(bytes->substr(0, 40)), std::string(27, 'a')},
      // Cut after the first block: its last byte 'a' (97) exceeds its length, so nothing is left.
      {encodeBase64(bytes->substr(0, 16)), ""},
      // Less than one block, or text that is not Base64 at all.
      {encodeBase64(bytes->substr(0, 15)), ""},
      {"not*base64*at*all", ""},
      {"Dp7PAEdjHiXWrQnf6UuYW", ""},
      {"\r\n", ""},
      // Base64 broken over lines, as a hand-edited settings file may hold it, still decodes.
      {"Dp7PAEdjHiXW\r\nrQnf6UuYWA==\n", "hello"},
  };
  for (const auto& [sent, kept] : cases) EXPECT_EQ(cipher.decryptChilkat(sent, known), kept) << sent;
}

}  // namespace
}  // namespace brim::test
