#include "inventory/ProfilerValues.h"

#include <cstdint>
#include <cstdlib>

#include "platform/Description.h"
#include "platform/Plist.h"

namespace brim {

RecordValue textOf(plist_t value) {
  if (!value) return std::nullopt;
  return describe(value);
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
