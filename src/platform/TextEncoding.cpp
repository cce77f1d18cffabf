#include "platform/TextEncoding.h"

#include "platform/Text.h"

namespace brim {
namespace {

// The length of the well-formed UTF-8 sequence at text[i]; 0 when the text ends
// inside a sequence that could still be well-formed; otherwise minus the length
// of the ill-formed part, which is replaced as one unit (the "maximal subpart"
// rule of the Unicode standard, the one decoders commonly follow).
int scanSequence(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  int trailing = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trailing = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trailing = 2;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trailing = 3;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return -1;
  }
  for (int k = 1; k <= trailing; ++k) {
    if (i + static_cast<size_t>(k) >= text.size()) return 0;
    const auto byte = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
    const bool fits = k == 1 ? (byte >= low && byte <= high) : (byte >= 0x80 && byte <= 0xBF);
    if (!fits) return -k;
  }
  return trailing + 1;
}

void appendCodePoint(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
  std::string out;
  auto unitAt = [&](size_t i) -> char32_t {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (char32_t(first) << 8 | second) : (char32_t(second) << 8 | first);
  };
  size_t i = 0;
  while (i + 1 < bytes.size()) {
    const char32_t unit = unitAt(i);
    i += 2;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < bytes.size()) {
      const char32_t low = unitAt(i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        i += 2;
        appendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF)
      out += TextEncoding::kReplacement;
    else
      appendCodePoint(out, unit);
  }
  if (i < bytes.size()) out += TextEncoding::kReplacement;  // odd byte count
  return out;
}

}  // namespace

std::string TextEncoding::decodeDetected(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return decodeUtf16(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return decodeUtf16(bytes.substr(2), true);
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (isValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char byte : bytes) appendCodePoint(out, static_cast<unsigned char>(byte));
  return out;
}

size_t TextEncoding::decodeUtf8Lossy(std::string_view bytes, bool atEnd, std::string& out, size_t& undecodedTail) {
  size_t replaced = 0;
  size_t i = 0;
  undecodedTail = 0;
  out.reserve(out.size() + bytes.size());
  while (i < bytes.size()) {
    const int length = scanSequence(bytes, i);
    if (length > 0) {
      out.append(bytes.substr(i, static_cast<size_t>(length)));
      i += static_cast<size_t>(length);
    } else if (length == 0 && !atEnd) {
      undecodedTail = bytes.size() - i;
      break;
    } else {
      out += kReplacement;
      ++replaced;
      i = length == 0 ? bytes.size() : i + static_cast<size_t>(-length);
    }
  }
  return replaced;
}

}  // namespace brim
