#include "platform/Plist.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/CustomLogger.h"
#include "platform/FileReplacement.h"
#include "platform/FileSystem.h"
#include "platform/TrustedPath.h"

namespace brim {
namespace {

constexpr size_t npos = std::string_view::npos;

size_t skipPast(std::string_view xml, size_t from, std::string_view closing) {
  const size_t at = xml.find(closing, from);
  return at == npos ? npos : at + closing.size();
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where the library's tokenizer finds the first byte of stops (or the string
// needle) from `from` on. It skips double-quoted runs in some places and not
// in others; where skipping them or not would make a difference, kUnforeseen:
// such a file is refused rather than read in a way this scan did not follow.
constexpr size_t kUnforeseen = npos - 1;

size_t firstOf(std::string_view xml, size_t from, std::string_view stops, bool skipQuoted) {
  for (size_t i = from; i < xml.size(); ++i) {
    if (skipQuoted && xml[i] == '"') {
      i = xml.find('"', i + 1);
      if (i == npos) return npos;
    } else if (stops.find(xml[i]) != npos) {
      return i;
    }
  }
  return npos;
}

size_t agreedFirstOf(std::string_view xml, size_t from, std::string_view stops) {
  const size_t plain = firstOf(xml, from, stops, false);
  return plain == firstOf(xml, from, stops, true) ? plain : kUnforeseen;
}

size_t agreedFind(std::string_view xml, size_t from, std::string_view needle) {
  size_t quoted = from;
  while (quoted < xml.size() && xml.compare(quoted, needle.size(), needle) != 0) {
    if (xml[quoted] == '"') {
      quoted = xml.find('"', quoted + 1);
      if (quoted == npos) break;
    }
    ++quoted;
  }
  const size_t plain = xml.find(needle, from);
  return plain == (quoted < xml.size() ? quoted : npos) ? plain : kUnforeseen;
}

constexpr std::string_view kLeafTags[] = {"key", "string", "integer", "real", "true", "false", "data", "date"};

// Past the text of a leaf element and its closing tag as the library reads
// them (comments and CDATA sections skipped, any other tag an error); npos
// where the library would stop with an error.
size_t pastLeaf(std::string_view xml, size_t pos, std::string_view name) {
  while (true) {
    pos = xml.find('<', pos);
    if (pos == npos || ++pos >= xml.size()) return npos;
    if (xml[pos] == '/') break;
    if (xml.compare(pos, 3, "!--") == 0) {
      pos = skipPast(xml, pos + 3, "-->");
    } else if (xml.compare(pos, 8, "![CDATA[") == 0) {
      pos = skipPast(xml, pos + 8, "]]>");
    } else {
      return npos;
    }
    if (pos == npos) return npos;
  }
  ++pos;
  if (xml.compare(pos, name.size(), name) != 0) return npos;
  pos += name.size();
  while (pos < xml.size() && isBlank(xml[pos])) ++pos;
  return pos < xml.size() && xml[pos] == '>' ? pos + 1 : npos;
}

// Whether the arrays and dictionaries of an XML property list nest no deeper
// than the limit, counted over the tags exactly as the library's tokenizer
// takes them: a name ends at a blank, "<" or ">" (and before the "/" of an
// empty element), comments, declarations and the text of leaf elements are
// skipped as it skips them, and the scan ends where the library would stop
// with an error (or goes on past a root the library may end at: counting
// more only refuses sooner). What the library would read
// differently from this scan fails: a NUL in a tag name (the library's copy
// of the name ends there, so "<array\0x>" opens an array), quotes that move
// a tag's end, a document type with an internal subset.
bool xmlNestingWithinLimit(std::string_view xml) {
  std::string open;  // 'a' and 'd' for the arrays and dictionaries not yet closed
  size_t pos = 0;
  while (true) {
    while (pos < xml.size() && isBlank(xml[pos])) ++pos;
    if (pos >= xml.size() || xml[pos] != '<' || ++pos >= xml.size()) return true;
    if (xml[pos] == '?') {
      const size_t end = agreedFind(xml, pos, "?>");
      if (end == kUnforeseen) return false;
      if (end == npos) return true;
      pos = end + 2;
      continue;
    }
    if (xml[pos] == '!') {
      if (xml.compare(pos, 3, "!--") == 0) {
        pos = skipPast(xml, pos + 3, "-->");
      } else if (xml.compare(pos, 8, "!DOCTYPE") == 0) {
        const size_t end = agreedFirstOf(xml, pos + 8, "[>");
        if (end == kUnforeseen || (end != npos && xml[end] == '[')) return false;
        pos = end == npos ? npos : end + 1;
      } else {
        return true;
      }
      if (pos == npos) return true;
      continue;
    }
    const size_t nameEnd = xml.find_first_of(std::string_view(" \r\n\t<>", 6), pos);
    if (nameEnd == npos) return true;
    const size_t close = xml[nameEnd] == '>' ? nameEnd : agreedFirstOf(xml, nameEnd, "<>");
    if (close == kUnforeseen) return false;
    if (close == npos || xml[close] != '>') return true;
    std::string_view name = xml.substr(pos, nameEnd - pos);
    if (name.find('\0') != npos) return false;
    const bool empty = xml[close - 1] == '/';
    if (empty && close - 1 - pos < name.size()) name = name.substr(0, close - 1 - pos);
    pos = close + 1;
    if (name == "plist" || name == "/plist") continue;
    if (name == "array" || name == "dict") {
      if (open.size() >= static_cast<size_t>(kMaxPlistNesting)) return false;
      // An empty root still takes what follows it as its items.
      if (!empty || open.empty()) open += name[0];
      continue;
    }
    if (name == "/array" || name == "/dict") {
      if (open.empty() || open.back() != name[1]) return true;
      open.pop_back();
      continue;
    }
    if (std::find(std::begin(kLeafTags), std::end(kLeafTags), name) == std::end(kLeafTags)) return true;
    if (!empty) pos = pastLeaf(xml, pos, name);
    if (pos == npos) return true;
  }
}

std::optional<uint64_t> bigEndian(std::string_view data, uint64_t offset, uint64_t width) {
  if (width == 0 || width > 8 || offset > data.size() || width > data.size() - offset) return std::nullopt;
  uint64_t value = 0;
  for (uint64_t i = 0; i < width; ++i) value = value << 8 | static_cast<unsigned char>(data[offset + i]);
  return value;
}

// Whether a binary property list nests no deeper than the limit, walked with an
// explicit stack, each array and dictionary once. A shared array or dictionary,
// and any offset or reference outside the data, fails.
bool binaryWithinLimits(std::string_view data) {
  constexpr size_t kTrailer = 32;
  if (data.size() < 8 + kTrailer) return false;
  const size_t trailer = data.size() - kTrailer;
  const uint64_t offsetWidth = static_cast<unsigned char>(data[trailer + 6]);
  const uint64_t refWidth = static_cast<unsigned char>(data[trailer + 7]);
  const auto count = bigEndian(data, trailer + 8, 8);
  const auto top = bigEndian(data, trailer + 16, 8);
  const auto table = bigEndian(data, trailer + 24, 8);
  if (!count || !top || !table || *top >= *count || *table > data.size()) return false;
  if (offsetWidth == 0 || offsetWidth > 8 || *count > (data.size() - *table) / offsetWidth) return false;

  struct Object {
    bool valid = false;
    bool container = false;
    uint64_t refsAt = 0;
    uint64_t refs = 0;  // a dictionary refers to its keys and its values
  };
  auto object = [&](uint64_t index) {
    const auto offset = bigEndian(data, *table + index * offsetWidth, offsetWidth);
    if (!offset || *offset >= trailer) return Object{};
    const unsigned marker = static_cast<unsigned char>(data[*offset]);
    const unsigned type = marker >> 4;
    if (type != 0xA && type != 0xC && type != 0xD) return Object{true};
    uint64_t size = marker & 0x0F;
    uint64_t at = *offset + 1;
    if (size == 0x0F) {  // the size follows as an integer object
      const auto sizeMarker = bigEndian(data, at, 1);
      if (!sizeMarker || (*sizeMarker >> 4) != 0x1 || (*sizeMarker & 0x0F) > 3) return Object{};
      const uint64_t width = uint64_t{1} << (*sizeMarker & 0x0F);
      const auto value = bigEndian(data, at + 1, width);
      if (!value) return Object{};
      size = *value;
      at += 1 + width;
    }
    const uint64_t refs = type == 0xD ? size * 2 : size;
    if (size > data.size() || at > data.size() || refs * refWidth > data.size() - at) return Object{};
    return Object{true, true, at, refs};
  };

  // An array or dictionary reached a second time is shared between two places,
  // or holds itself: no writer makes such a list, and the library would copy it
  // for every place, without end for a cycle.
  std::vector<bool> reached(*count, false);
  struct Frame {
    Object object;
    uint64_t next = 0;
  };
  std::vector<Frame> path;
  auto reach = [&](uint64_t index) {
    const Object o = object(index);
    if (!o.valid) return false;
    if (!o.container) return true;
    if (reached[index] || path.size() >= static_cast<size_t>(kMaxPlistNesting)) return false;
    reached[index] = true;
    path.push_back(Frame{o});
    return true;
  };
  if (!reach(*top)) return false;
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.next == frame.object.refs) {
      path.pop_back();
      continue;
    }
    const auto child = bigEndian(data, frame.object.refsAt + frame.next++ * refWidth, refWidth);
    if (!child || *child >= *count || !reach(*child)) return false;
  }
  return true;
}

// Strings and keys that hold a NUL end there, as every reader here takes them.
// The library keeps such a string whole, but its copies end at the NUL and
// keep the whole length, so that writing a copy back reads past its end.
void endStringsAtNul(plist_t root) {
  std::vector<plist_t> pending{root};
  while (!pending.empty()) {
    plist_t node = pending.back();
    pending.pop_back();
    switch (plist_get_node_type(node)) {
      case PLIST_STRING: {
        uint64_t length = 0;
        const char* value = plist_get_string_ptr(node, &length);
        if (value && std::memchr(value, '\0', length)) plist_set_string_val(node, std::string(value).c_str());
        break;
      }
      case PLIST_ARRAY:
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i) pending.push_back(plist_array_get_item(node, i));
        break;
      case PLIST_DICT: {
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        for (;;) {
          char* key = nullptr;
          plist_t value = nullptr;
          plist_dict_next_item(node, iter, &key, &value);
          if (!key) break;
          // The key as read ends at a NUL; setting it again sets its length to match.
          if (plist_t keyNode = plist_dict_item_get_key(value)) plist_set_key_val(keyNode, key);
          std::free(key);
          pending.push_back(value);
        }
        std::free(iter);
        break;
      }
      default:
        break;
    }
  }
}

}  // namespace

Plist parsePlist(std::string_view data) {
  if (data.empty() || data.size() > UINT32_MAX) return nullptr;
  const auto size = static_cast<uint32_t>(data.size());
  if (plist_is_binary(data.data(), size) ? !binaryWithinLimits(data) : !xmlNestingWithinLimit(data)) {
    logAt(Sig::function("parsePlist"),
          "property list not read: nested deeper than " + std::to_string(kMaxPlistNesting) + " levels, or malformed");
    return nullptr;
  }
  plist_t node = nullptr;
  plist_from_memory(data.data(), size, &node);
  return Plist(node);
}

Plist readPlistFile(const std::string& path) {
  const std::optional<std::string> data = FileSystem::readFile(path);
  if (!data) return nullptr;
  // What is read from a file may be copied and written back.
  Plist plist = parsePlist(*data);
  if (plist) endStringsAtNul(plist.get());
  return plist;
}

Plist readTrustedPlistFile(const std::string& path, std::string& why) {
  why.clear();
  const std::optional<std::string> untrusted = TrustedPath::whyUntrustedForRoot(path);
  // A missing file is no one's doing: it reads as unreadable, as before.
  if (!untrusted) return readPlistFile(path);
  if (FileSystem::exists(path)) why = *untrusted;
  return nullptr;
}

std::string plistToXml(plist_t node) {
  if (!node) return {};
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(node, &xml, &length);
  std::string text = xml ? std::string(xml, length) : std::string();
  plist_to_xml_free(xml);
  return text;
}

bool writePlistFileAtomically(const std::string& path, plist_t node) {
  if (!node) return false;
  const std::string text = plistToXml(node);
  // Its callers say which file was not written; the system's reason is not theirs to show.
  std::string unasked;
  return !text.empty() && FileReplacement::replace(path, text, unasked);
}

std::optional<std::string> plistString(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  // A string that holds a NUL makes the library's copying getter abort, and its
  // length count the bytes past the NUL that it did not keep: the text ends at the NUL.
  uint64_t length = 0;
  const char* value = plist_get_string_ptr(node, &length);
  return value ? std::string(value, strnlen(value, length)) : std::string();
}

std::optional<int64_t> plistInteger(plist_t node) {
  if (!node) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      // The library holds integers past 2^63 - 1 in the same 64 bits as negative
      // ones; only the text it writes for them tells the two apart.
      if (value > INT64_MAX && plistToXml(node).find("<integer>-") == std::string::npos) return std::nullopt;
      return static_cast<int64_t>(value);
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      // 2^63 itself is out of range; -2^63 is not.
      if (!std::isfinite(value) || value >= 0x1p63 || value < -0x1p63) return std::nullopt;
      return static_cast<int64_t>(value);
    }
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return value ? 1 : 0;
    }
    default:
      return std::nullopt;
  }
}

std::optional<bool> plistBool(plist_t node) {
  if (!node) return std::nullopt;
  if (plist_get_node_type(node) == PLIST_BOOLEAN) {
    uint8_t value = 0;
    plist_get_bool_val(node, &value);
    return value != 0;
  }
  if (plist_get_node_type(node) == PLIST_REAL) {
    double value = 0;
    plist_get_real_val(node, &value);
    if (std::isnan(value)) return std::nullopt;
    return value != 0;
  }
  if (auto number = plistInteger(node)) return *number != 0;
  return std::nullopt;
}

plist_t plistDictItem(plist_t dict, std::string_view key) {
  if (!dict || plist_get_node_type(dict) != PLIST_DICT) return nullptr;
  return plist_dict_get_item(dict, std::string(key).c_str());
}

}  // namespace brim
