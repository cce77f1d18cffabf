#include "envelope/XMLText.h"

#include "platform/Text.h"

namespace brim {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr unsigned kWriteFlags = pugi::format_raw | pugi::format_no_declaration;

// XML 1.0 Char production.
bool isXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

// XML 1.0 (fifth edition) NameStartChar and NameChar productions.
bool isNameStartChar(char32_t c) {
  return c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0xD6) ||
         (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}
bool isNameChar(char32_t c) {
  return isNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

struct StringWriter : pugi::xml_writer {
  explicit StringWriter(std::string& out) : text(out) {}
  std::string& text;
  void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

}  // namespace

bool isXmlName(std::string_view name) {
  size_t pos = 0;
  bool first = true;
  while (pos < name.size()) {
    const auto c = nextCodePoint(name, pos);
    if (!c || !(first ? isNameStartChar(*c) : isNameChar(*c))) return false;
    first = false;
  }
  return !first;
}

bool isXmlText(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    // Most values are ASCII: a byte at a time, without decoding.
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      if (!isXmlChar(byte)) return false;
      ++pos;
      continue;
    }
    const auto c = nextCodePoint(text, pos);
    if (!c || !isXmlChar(*c)) return false;
  }
  return true;
}

std::string xmlSafeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    const auto c = nextCodePoint(text, pos);
    if (c && isXmlChar(*c)) {
      out.append(text.substr(start, pos - start));
    } else {
      out.append(kReplacement);
    }
  }
  return out;
}

std::string withXmlLineEnds(std::string text) {
  if (text.find('\r') == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
  }
  return out;
}

void appendXmlText(pugi::xml_node node, std::string& out) {
  StringWriter writer(out);
  node.print(writer, "", kWriteFlags);
}

std::string xmlText(pugi::xml_node node) {
  std::string text;
  appendXmlText(node, text);
  return text;
}

}  // namespace brim
