#pragma once
// The cipher's known answers, one table for every system's build: each
// system's crypto provider must give these bytes, as the agent's other side
// computes them.
#include <optional>
#include <string_view>

namespace brim::test {

inline constexpr std::string_view kKnownPassPhrase = "0123456789abcdefghijklmnopqrstuv";
// The key derived from it: MD5 of its bytes, then MD5 of their Base64 text.
inline constexpr std::string_view kKnownKey = "aa4bc671b4c1c7a38e29800f50ef63461f299f03c63edcca325f67406f188d9d";

// Plain text in UTF-8, cipher text under kKnownPassPhrase.
struct CipherAnswer {
  std::string_view plain;
  std::string_view sent;
};
inline constexpr CipherAnswer kCipherAnswers[] = {
    {"hello", "Dp7PAEdjHiXWrQnf6UuYWA=="},
    {"0123456789ABCDEF", "9+jyEEhztHVmWy6M2am/Vtl2khMWxID3BsygQ6/WVQ0="},  // a whole block of padding
    {"caf\xC3\xA9 <&>", "OIagwDotvW54Lz+LXz4vGQ=="},                       // é travels as the one byte 0xE9
    {"", ""},
};

// Base64 text and what it decodes to (absent: refused), for texts that are not
// plain encoder output.
struct Base64Answer {
  std::string_view text;
  std::optional<std::string_view> bytes;
};
inline constexpr Base64Answer kBase64Answers[] = {
    {" YQ==\t", "a"},
    {"YWI=", "ab"},
    {"YWJj-not read", "abc"},  // a '-' ends the data
    {"", ""},
    {"YWJ", std::nullopt},  // ends inside a group of four
    {"YQ=", std::nullopt},
    {"YQ===", std::nullopt},
    {"YQ==YQ==", std::nullopt},  // data after padding
    {"YW*j", std::nullopt},
    {"YW\xC3\xA9", std::nullopt},
    {"YW\fJj", std::nullopt},
};

}  // namespace brim::test
