#include "envelope/Base64.h"

#include <array>
#include <cstdint>

namespace brim {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// What a text character means to the decoder.
enum : uint8_t { kSkipped = 64, kPad, kEnd, kInvalid };

constexpr std::array<uint8_t, 256> kDecoding = [] {
  std::array<uint8_t, 256> table{};
  table.fill(kInvalid);
  for (size_t i = 0; i < kAlphabet.size(); ++i) table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<uint8_t>(i);
  for (const char c : {' ', '\t', '\r', '\n'}) table[static_cast<uint8_t>(c)] = kSkipped;
  table['='] = kPad;
  // As in PEM-style input, a '-' ends the data: what follows is not read.
  table['-'] = kEnd;
  return table;
}();

}  // namespace

std::string encodeBase64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t at = 0;
  for (; at + 3 <= bytes.size(); at += 3) {
    const uint32_t group = static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 16 |
                           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
                           static_cast<uint8_t>(bytes[at + 2]);
    for (const int shift : {18, 12, 6, 0}) out += kAlphabet[(group >> shift) & 0x3F];
  }
  if (const size_t left = bytes.size() - at; left > 0) {
    uint32_t group = static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 16;
    if (left == 2) group |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8;
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += left == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
    out += '=';
  }
  return out;
}

// Padding may close only the last group, with at most two '='; no letter may
// follow it.
std::optional<std::string> decodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  uint32_t group = 0;
  int inGroup = 0;
  int padding = 0;
  for (const char c : text) {
    const uint8_t value = kDecoding[static_cast<uint8_t>(c)];
    if (value == kSkipped) continue;
    if (value == kEnd) break;
    if (value == kInvalid) return std::nullopt;
    if (value == kPad) {
      if (++padding > 2) return std::nullopt;
    } else if (padding > 0) {
      return std::nullopt;
    }
    group = group << 6 | (value == kPad ? 0 : value);
    if (++inGroup < 4) continue;
    const int kept = 3 - padding;  // padding <= 2 here: every group keeps a byte
    for (int i = 0; i < kept; ++i) out += static_cast<char>(group >> (16 - 8 * i) & 0xFF);
    group = 0;
    inGroup = 0;
  }
  if (inGroup != 0) return std::nullopt;
  return out;
}

}  // namespace brim
