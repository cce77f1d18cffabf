#include "platform/Description.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <utility>

#include "platform/Plist.h"
#include "platform/Text.h"

namespace brim {
namespace {

std::string indentOf(int level) { return std::string(static_cast<size_t>(std::max(level, 0)) * 4, ' '); }

bool isBare(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '.';
  });
}

void appendUnicodeEscape(std::string& out, char32_t unit) {
  char buffer[16];  // a UTF-16 unit needs 7, but the compiler cannot know the value is one
  std::snprintf(buffer, sizeof buffer, "\\U%04x", static_cast<unsigned>(unit));
  out += buffer;
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  size_t pos = 0;
  while (pos < text.size()) {
    const char32_t c = nextCodePoint(text, pos).value_or(0xFFFD);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c >= 0x10000) {
      // Escapes count UTF-16 units, so a character beyond the first plane is a surrogate pair.
      appendUnicodeEscape(out, 0xD800 + ((c - 0x10000) >> 10));
      appendUnicodeEscape(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      appendUnicodeEscape(out, c);
    }
  }
  return out + "\"";
}

std::string describeReal(double value) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general);
  return error == std::errc() ? std::string(buffer, end) : std::string("nan");
}

std::string describeDate(plist_t node) {
  int32_t seconds = 0;
  int32_t micros = 0;
  plist_get_date_val(node, &seconds, &micros);
  // The library truncates towards zero and hands the fraction back without its sign.
  int64_t whole = seconds;
  if (seconds < 0 && micros > 0) --whole;
  const std::time_t unix = static_cast<std::time_t>(whole + kPlistEpochOffset);
  std::tm parts{};
  if (!gmtime_r(&unix, &parts)) return "(null)";
  char buffer[64];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &parts);
  return buffer;
}

std::string describeData(plist_t node) {
  uint64_t length = 0;
  const char* bytes = plist_get_data_ptr(node, &length);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "<";
  for (uint64_t i = 0; i < length; ++i) {
    if (i > 0 && i % 4 == 0) out += ' ';
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
  }
  return out + ">";
}

// What "%@" writes for a value that is not a collection.
std::string describeScalar(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return text ? std::string(text, length) : std::string();
    }
    case PLIST_KEY: {
      char* text = nullptr;
      plist_get_key_val(node, &text);
      const std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
      return text ? std::string(text) : std::string();
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return std::to_string(static_cast<int64_t>(value));
    }
    case PLIST_UID: {
      uint64_t value = 0;
      plist_get_uid_val(node, &value);
      return std::to_string(value);
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return describeReal(value);
    }
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return value ? "1" : "0";
    }
    case PLIST_DATE:
      return describeDate(node);
    case PLIST_DATA:
      return describeData(node);
    default:
      return "(null)";
  }
}

bool isCollection(plist_t node) {
  const plist_type type = plist_get_node_type(node);
  return type == PLIST_ARRAY || type == PLIST_DICT;
}

// An element of a collection: a nested collection indents itself, a string
// follows the quoting rule, numbers, booleans, dates and data keep their own form.
std::string describeItem(plist_t node, int level) {
  if (isCollection(node)) return describe(node, level);
  if (plist_get_node_type(node) == PLIST_STRING) return describeString(plistString(node).value_or(""));
  return describeScalar(node);
}

template <typename Items>
std::string describeList(const Items& items, int level) {
  std::string out = indentOf(level) + "(\n";
  for (size_t i = 0; i < items.size(); ++i) {
    out += indentOf(level + 1) + items[i];
    out += i + 1 < items.size() ? ",\n" : "\n";
  }
  return out + indentOf(level) + ")";
}

struct FreeIter {
  void operator()(plist_dict_iter iter) const { std::free(iter); }
};

std::string describeDictionary(plist_t dict, int level) {
  std::vector<std::pair<std::string, plist_t>> entries;
  plist_dict_iter raw = nullptr;
  plist_dict_new_iter(dict, &raw);
  const std::unique_ptr<void, FreeIter> iter(raw);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dict, raw, &key, &value);
    const std::unique_ptr<char, decltype(&std::free)> ownedKey(key, &std::free);
    if (!value) break;
    entries.emplace_back(key ? key : "", value);
  }
  // The platform lists a dictionary by its keys in order, whatever order it was built in.
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string out = indentOf(level) + "{\n";
  for (const auto& [key, value] : entries) {
    out += indentOf(level + 1) + describeString(key) + " = " + describeItem(value, level + 1) + ";\n";
  }
  return out + indentOf(level) + "}";
}

}  // namespace

std::string describe(plist_t value, int indent) {
  if (!value) return "(null)";
  switch (plist_get_node_type(value)) {
    case PLIST_ARRAY: {
      std::vector<std::string> items;
      const uint32_t size = plist_array_get_size(value);
      for (uint32_t i = 0; i < size; ++i) items.push_back(describeItem(plist_array_get_item(value, i), indent + 1));
      return describeList(items, indent);
    }
    case PLIST_DICT:
      return describeDictionary(value, indent);
    default:
      return describeScalar(value);
  }
}

std::string describe(const std::vector<std::string>& list, int indent) {
  std::vector<std::string> items;
  items.reserve(list.size());
  for (const std::string& text : list) items.push_back(describeString(text));
  return describeList(items, indent);
}

std::string describeString(const std::string& text) { return isBare(text) ? text : quoted(text); }

}  // namespace brim
