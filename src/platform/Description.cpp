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
    case PLIST_STRING:
      return plistString(node).value_or("");
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

// An element of a collection that is not a collection itself: a string follows
// the quoting rule, numbers, booleans, dates and data keep their own form.
void appendScalarItem(std::string& out, plist_t node) {
  if (plist_get_node_type(node) == PLIST_STRING) {
    out += describeString(plistString(node).value_or(""));
  } else {
    out += describeScalar(node);
  }
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
  void operator()(void* iter) const { std::free(iter); }
};

// A collection being written: its elements (a dictionary's in key order) and
// how many of them are out.
struct OpenCollection {
  bool dictionary = false;
  int level = 0;
  std::vector<std::pair<std::string, plist_t>> elements;  // key (dictionaries only), value
  size_t next = 0;
};

OpenCollection openCollection(plist_t node, int level) {
  OpenCollection open{plist_get_node_type(node) == PLIST_DICT, level, {}, 0};
  void* raw = nullptr;
  if (open.dictionary) {
    plist_dict_new_iter(node, &raw);
  } else {
    plist_array_new_iter(node, &raw);
  }
  const std::unique_ptr<void, FreeIter> iter(raw);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    if (open.dictionary) {
      plist_dict_next_item(node, raw, &key, &value);
    } else {
      plist_array_next_item(node, raw, &value);
    }
    const std::unique_ptr<char, decltype(&std::free)> ownedKey(key, &std::free);
    if (!value) break;
    open.elements.emplace_back(key ? key : "", value);
  }
  // The platform lists a dictionary by its keys in order, whatever order it was built in.
  if (open.dictionary) {
    std::stable_sort(open.elements.begin(), open.elements.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  return open;
}

// What follows an element of a collection: a dictionary ends every entry with
// ";", a list separates its elements with ",".
const char* elementEnd(const OpenCollection& open) {
  if (open.dictionary) return ";\n";
  return open.next < open.elements.size() ? ",\n" : "\n";
}

// Collections nest as deep as the value goes; the open ones are kept on a stack
// of their own rather than the call stack, and the text is written once, in order.
std::string describeCollection(plist_t root, int level) {
  std::string out;
  std::vector<OpenCollection> open;
  auto enter = [&](plist_t node, int at) {
    out += indentOf(at);
    out += plist_get_node_type(node) == PLIST_DICT ? "{\n" : "(\n";
    open.push_back(openCollection(node, at));
  };
  enter(root, level);
  while (!open.empty()) {
    OpenCollection& top = open.back();
    if (top.next == top.elements.size()) {
      out += indentOf(top.level);
      out += top.dictionary ? "}" : ")";
      open.pop_back();
      if (!open.empty()) out += elementEnd(open.back());
      continue;
    }
    const auto& [key, value] = top.elements[top.next++];
    out += indentOf(top.level + 1);
    if (top.dictionary) out += describeString(key) + " = ";
    if (isCollection(value)) {
      enter(value, top.level + 1);  // invalidates top
    } else {
      appendScalarItem(out, value);
      out += elementEnd(top);
    }
  }
  return out;
}

}  // namespace

std::string describe(plist_t value, int indent) {
  if (!value) return "(null)";
  if (isCollection(value)) return describeCollection(value, indent);
  return describeScalar(value);
}

std::string describe(const std::vector<std::string>& list, int indent) {
  std::vector<std::string> items;
  items.reserve(list.size());
  for (const std::string& text : list) items.push_back(describeString(text));
  return describeList(items, indent);
}

std::string describeString(const std::string& text) { return isBare(text) ? text : quoted(text); }

}  // namespace brim
