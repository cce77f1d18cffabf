#include "envelope/EncryptionAES.h"

#include <gtest/gtest.h>

#include <string>

#include "BuildConfig.h"
#include "envelope/Base64.h"
#include "support/Sandbox.h"

namespace brim::test {
namespace {

constexpr const char* kKnownPassPhrase = "0123456789abcdefghijklmnopqrstuv";

struct KnownAnswer {
  std::string plain;  // UTF-8
  std::string cipher;
};

// Answers computed by the agent's other side for the pass phrase above.
const KnownAnswer kKnownAnswers[] = {
    {"hello", "Dp7PAEdjHiXWrQnf6UuYWA=="},
    {"0123456789ABCDEF", "9+jyEEhztHVmWy6M2am/Vtl2khMWxID3BsygQ6/WVQ0="},  // a whole block of padding
    {"caf\xC3\xA9 <&>", "OIagwDotvW54Lz+LXz4vGQ=="},                       // é travels as the one byte 0xE9
};

// One instance serves every key: a text encrypted under another pass phrase
// in between changes nothing. Empty text stays empty both ways.
TEST(EncryptionAES, KnownAnswersBothWays) {
  EncryptionAES cipher;
  constexpr const char* kOther = "AnotherPassPhrase0123456789abcde";
  for (const auto& known : kKnownAnswers) {
    EXPECT_NE(cipher.encryptChilkat(known.plain, kOther), known.cipher);
    EXPECT_EQ(cipher.encryptChilkat(known.plain, kKnownPassPhrase), known.cipher) << known.plain;
    EXPECT_EQ(cipher.decryptChilkat(known.cipher, kKnownPassPhrase), known.plain) << known.cipher;
  }
  EXPECT_EQ(cipher.encryptChilkat("0123456789ABCDEF", kKnownPassPhrase).size(), 44u);
  EXPECT_EQ(cipher.encryptChilkat("", kKnownPassPhrase), "");
  EXPECT_EQ(cipher.decryptChilkat("", kKnownPassPhrase), "");
  EXPECT_EQ(cipher.decryptChilkat("\r\n", kKnownPassPhrase), "");
}

// The compiled-in pass phrase, a key made with the md5 and base64 tools, and
// openssl's own AES-256-CBC with PKCS#7 padding must agree with us both ways.
TEST(EncryptionAES, AgreesWithTheOpensslTool) {
  const std::string passPhrase = build::kPassPhrase;
  const std::string key = shellOutput("openssl md5 -r | cut -c1-32 | tr -d '\\n'", passPhrase) +
                          shellOutput("base64 -w0 | openssl md5 -r | cut -c1-32 | tr -d '\\n'", passPhrase);
  ASSERT_EQ(key.size(), 64u) << key;
  const std::string aes = "openssl enc -aes-256-cbc -K " + key + " -iv 00000000000000000000000000000000 -base64 -A";

  // A settings value of several blocks, with ISO-8859-1 letters beyond ASCII.
  const std::string utf8 = "proxy.example.com:3128 user=J\xC3\xBCrgen pass=\xC3\xA9t\xC3\xA9-2026 \xC2\xA7<&>\"'";
  const std::string latin1 = "proxy.example.com:3128 user=J\xFCrgen pass=\xE9t\xE9-2026 \xA7<&>\"'";

  EncryptionAES cipher;
  const std::string ours = cipher.encryptChilkat(utf8, passPhrase);
  EXPECT_EQ(ours, shellOutput(aes, latin1));
  EXPECT_EQ(shellOutput(aes + " -d", ours + "\n"), latin1);
  EXPECT_EQ(cipher.decryptChilkat(ours, passPhrase), utf8);
}

TEST(EncryptionAES, CharactersBeyondLatin1TravelAsQuestionMarks) {
  EncryptionAES cipher;
  // The euro sign (three bytes in UTF-8), a four-byte emoji and a stray continuation byte.
  const std::string sent = cipher.encryptChilkat("5 \xE2\x82\xAC \xF0\x9F\x98\x80 \x80!", kKnownPassPhrase);
  EXPECT_EQ(sent, cipher.encryptChilkat("5 ? ? ?!", kKnownPassPhrase));
  EXPECT_EQ(cipher.decryptChilkat(sent, kKnownPassPhrase), "5 ? ? ?!");
}

// Padding is never checked: the last byte says how much to cut, however much
// of the text is left. A wrong pass phrase or damaged text yields text, not failure.
TEST(EncryptionAES, DamagedTextIsCutByItsLastByte) {
  EncryptionAES cipher;
  const std::string sent = cipher.encryptChilkat("a value of the settings file, longer than a block", kKnownPassPhrase);
  const std::string garbled = cipher.decryptChilkat(sent, "wrongwrongwrongwrongwrongwrong00");
  EXPECT_NE(garbled, "a value of the settings file, longer than a block");
  EXPECT_LE(garbled.size(), 2 * 64u);  // ISO-8859-1 read as text: at most two bytes a character

  // Byte 31 (the end of the second block) is 0x05.
  const std::string plain = std::string(31, 'a') + "\x05" + std::string(16, 'b');
  const auto bytes = decodeBase64(cipher.encryptChilkat(plain, kKnownPassPhrase));
  ASSERT_TRUE(bytes.has_value());
  ASSERT_EQ(bytes->size(), 64u);

  // Cut inside the third block: the partial block is dropped, then 5 bytes.
  EXPECT_EQ(cipher.decryptChilkat(encodeBase64(bytes->substr(0, 40)), kKnownPassPhrase), std::string(27, 'a'));
  // Cut after the first block: its last byte 'a' (97) exceeds its length, so nothing is left.
  EXPECT_EQ(cipher.decryptChilkat(encodeBase64(bytes->substr(0, 16)), kKnownPassPhrase), "");
  // Less than one block, or text that is not Base64 at all.
  EXPECT_EQ(cipher.decryptChilkat(encodeBase64(bytes->substr(0, 15)), kKnownPassPhrase), "");
  EXPECT_EQ(cipher.decryptChilkat("not*base64*at*all", kKnownPassPhrase), "");
  EXPECT_EQ(cipher.decryptChilkat("Dp7PAEdjHiXWrQnf6UuYW", kKnownPassPhrase), "");
  // Base64 broken over lines, as a hand-edited settings file may hold it, still decodes.
  EXPECT_EQ(cipher.decryptChilkat("Dp7PAEdjHiXW\r\nrQnf6UuYWA==\n", kKnownPassPhrase), "hello");
}

}  // namespace
}  // namespace brim::test
