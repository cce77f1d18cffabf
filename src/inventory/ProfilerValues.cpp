#include "inventory/ProfilerValues.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>

#include "platform/Description.h"
#include "platform/Plist.h"

namespace brim {

RecordValue textOf(plist_t value) {
  if (!value) return std::nullopt;
  switch (plist_get_node_type(value)) {
    case PLIST_STRING:
      return plistString(value);
    case PLIST_UINT: {
      // libplist keeps every integer unsigned; the profiler's are signed 64-bit.
      uint64_t raw = 0;
      plist_get_uint_val(value, &raw);
      return std::to_string(static_cast<int64_t>(raw));
    }
    case PLIST_REAL: {
      double real = 0;
      plist_get_real_val(value, &real);
      char buffer[64];
      const auto result = std::to_chars(buffer, buffer + sizeof buffer, real);
      return std::string(buffer, result.ptr);
    }
    case PLIST_BOOLEAN: {
      uint8_t flag = 0;
      plist_get_bool_val(value, &flag);
      return std::string(flag ? "1" : "0");
    }
    default:
      return describe(value);
  }
}

std::vector<plist_t> elementsOf(plist_t value) {
  std::vector<plist_t> elements;
  if (!value || plist_get_node_type(value) != PLIST_ARRAY) return elements;
  const uint32_t count = plist_array_get_size(value);
  elements.reserve(count);
  for (uint32_t i = 0; i < count; ++i) elements.push_back(plist_array_get_item(value, i));
  return elements;
}

std::optional<std::string> keyAt(plist_t value, std::size_t index) {
  if (!value || plist_get_node_type(value) != PLIST_DICT) return std::nullopt;
  plist_dict_iter iter = nullptr;
  plist_dict_new_iter(value, &iter);
  if (!iter) return std::nullopt;
  std::optional<std::string> found;
  for (std::size_t position = 0;; ++position) {
    char* key = nullptr;
    plist_t item = nullptr;
    plist_dict_next_item(value, iter, &key, &item);
    if (!key) break;
    if (position == index) found = std::string(key);
    free(key);
    if (found) break;
  }
  free(iter);
  return found;
}

std::string joinedWithComma(plist_t value) {
  std::string joined;
  bool first = true;
  for (plist_t element : elementsOf(value)) {
    if (!first) joined += ',';
    first = false;
    joined += textOf(element).value_or("");
  }
  return joined;
}

RecordValue firstElementText(plist_t value) {
  const auto elements = elementsOf(value);
  if (elements.empty()) return std::nullopt;
  return textOf(elements.front());
}

plist_t valueAt(plist_t dict, std::string_view key) { return plistDictItem(dict, key); }

plist_t valueAt(plist_t dict, std::string_view key, std::string_view innerKey) {
  return plistDictItem(plistDictItem(dict, key), innerKey);
}

}  // namespace brim
