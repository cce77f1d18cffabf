#include "config/SectionFields.h"

#include <algorithm>
#include <charconv>

#include "BuildConfig.h"
#include "platform/CustomLogger.h"

namespace brim {

std::string sharedPassPhrase() { return build::kPassPhrase; }

namespace {

std::string typeName(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN:
      return "a boolean";
    case PLIST_UINT:
      return "an integer";
    case PLIST_REAL:
      return "a real";
    case PLIST_STRING:
      return "a string";
    case PLIST_ARRAY:
      return "an array";
    case PLIST_DICT:
      return "a dictionary";
    case PLIST_DATE:
      return "a date";
    case PLIST_DATA:
      return "data";
    default:
      return "an unknown node";
  }
}

void logWrongType(std::string_view key, plist_t node, std::string_view wanted, std::string_view readAs,
                  const Sig& sig) {
  logAt(sig, "\"" + std::string(key) + "\" holds " + typeName(node) + ", not " + std::string(wanted) + "; read as " +
                 std::string(readAs));
}

}  // namespace

std::optional<std::string> readSectionText(plist_t node, std::string_view key, const Sig& sig) {
  if (!node) return std::nullopt;
  if (auto text = plistString(node)) return text;
  logWrongType(key, node, "a string", "null", sig);
  return std::nullopt;
}

int64_t readSectionInteger(plist_t node, std::string_view key, bool digitsAccepted, const Sig& sig) {
  if (!node) return 0;
  const plist_type type = plist_get_node_type(node);
  if (type == PLIST_UINT || type == PLIST_REAL || type == PLIST_BOOLEAN) return plistInteger(node).value_or(0);
  if (digitsAccepted && type == PLIST_STRING) {
    const std::string text = plistString(node).value_or("");
    int64_t value = 0;
    const bool allDigits =
        !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (allDigits) {
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (error == std::errc() && end == text.data() + text.size()) return value;
    }
    logAt(sig, "\"" + std::string(key) + "\" holds \"" + text + "\", not a decimal number; read as 0");
    return 0;
  }
  logWrongType(key, node, "an integer", "0", sig);
  return 0;
}

bool readSectionFlag(plist_t node, std::string_view key, const Sig& sig) {
  if (!node) return false;
  if (auto flag = plistBool(node)) return *flag;
  logWrongType(key, node, "a boolean", "false", sig);
  return false;
}

Plist readSectionDictionary(plist_t node, std::string_view key, const Sig& sig) {
  if (!node) return nullptr;
  if (plist_get_node_type(node) == PLIST_DICT) return Plist(plist_copy(node));
  logWrongType(key, node, "a dictionary", "null", sig);
  return nullptr;
}

plist_t sectionValue(plist_t dict, std::string_view block, std::string_view subBlock, std::string_view key) {
  if (!block.empty()) dict = plistDictItem(dict, block);
  if (!subBlock.empty()) dict = plistDictItem(dict, subBlock);
  return plistDictItem(dict, key);
}

void setSectionValue(plist_t dict, std::string_view key, Plist value) {
  const std::string name(key);
  if (value) {
    plist_dict_set_item(dict, name.c_str(), value.release());
  } else if (plist_dict_get_item(dict, name.c_str())) {
    plist_dict_remove_item(dict, name.c_str());
  }
}

}  // namespace brim
