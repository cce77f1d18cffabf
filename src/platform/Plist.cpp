#include "platform/Plist.h"

#include "platform/FileSystem.h"

#include <fstream>
#include <iterator>

namespace brim {

Plist parsePlist(std::string_view data) {
  if (data.empty() || data.size() > UINT32_MAX) return nullptr;
  plist_t node = nullptr;
  plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &node);
  return Plist(node);
}

Plist readPlistFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return parsePlist(data);
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
  return !text.empty() && FileSystem::writeFileAtomically(path, text);
}

std::optional<std::string> plistString(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  // By length: libplist keeps a string with a NUL byte in it whole, and its
  // copying getter asserts on such a string.
  uint64_t length = 0;
  const char* value = plist_get_string_ptr(node, &length);
  return value ? std::string(value, length) : std::string();
}

std::optional<int64_t> plistInteger(plist_t node) {
  if (!node) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return static_cast<int64_t>(value);
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
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
  if (auto number = plistInteger(node)) return *number != 0;
  return std::nullopt;
}

plist_t plistDictItem(plist_t dict, std::string_view key) {
  if (!dict || plist_get_node_type(dict) != PLIST_DICT) return nullptr;
  return plist_dict_get_item(dict, std::string(key).c_str());
}

}  // namespace brim
