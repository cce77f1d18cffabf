#include "inspect/ShownText.h"

#include <algorithm>
#include <cstdio>

#include "config/SettingsLayout.h"
#include "envelope/Base64.h"
#include "envelope/EncryptionAES.h"
#include "inspect/BodyDecoder.h"
#include "platform/Text.h"

namespace brim::inspect {
namespace {

std::string escaped(const char* format, unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string forTerminal(std::string_view text, bool keepLines) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const size_t start = pos;
    const std::optional<char32_t> c = nextCodePoint(text, pos);
    if (!c) {
      out += escaped("\\x%02x", static_cast<unsigned char>(text[start]));
    } else if (keepLines && (*c == '\n' || *c == '\t')) {
      out += static_cast<char>(*c);
    } else if (isEscapedControl(*c)) {
      out += escapeOf(*c);
    } else {
      out.append(text.substr(start, pos - start));
    }
  }
  return out;
}

std::string shellQuoted(std::string_view text) {
  constexpr std::string_view kPlain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-+=/.,:@%";
  if (!text.empty() && text.find_first_not_of(kPlain) == std::string_view::npos) return std::string(text);
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t pos = 0; pos < text.size();) {
    const size_t start = pos;
    const std::optional<char32_t> c = nextCodePoint(text, pos);
    if (!c) {
      out += "\xEF\xBF\xBD";  // U+FFFD
    } else if (*c == '"' || *c == '\\') {
      out += '\\';
      out += static_cast<char>(*c);
    } else if (*c < 0x20 || *c == 0x7f) {
      out += escaped("\\u%04x", static_cast<unsigned>(*c));
    } else {
      out.append(text.substr(start, pos - start));
    }
  }
  return out + "\"";
}

bool isSecretKey(std::string_view key) {
  // The web posts' recovery site is a site like the others; the settings layout lists every other.
  if (key == "passwd" || key == "disasterrecovery") return true;
  return std::any_of(std::begin(kSettingsLayout), std::end(kSettingsLayout), [key](const SectionTable& section) {
    return std::any_of(section.fields.begin(), section.fields.end(), [key](const SectionField& field) {
      return field.key == key && (field.kind == FieldKind::Encrypted || field.kind == FieldKind::Reencrypted);
    });
  });
}

bool looksEncrypted(const std::string& text) {
  const std::optional<std::string> bytes = decodeBase64(text);
  return bytes && !bytes->empty() && bytes->size() % 16 == 0;
}

ShownValue shownString(std::string_view key, const std::string& stored, bool decrypt, const std::string& passPhrase) {
  if (decryptsWith(stored, passPhrase)) {
    if (!decrypt) return {"(encrypted)", false, true};
    return {EncryptionAES().decryptChilkat(stored, passPhrase), true, false};
  }
  if (decrypt || looksEncrypted(stored)) return {stored};
  if (isSecretKey(key)) return {"(not encrypted; shown with --decrypt)", false, true};
  return {withoutURLCredentials(stored)};
}

}  // namespace brim::inspect
