#include "config/SectionFields.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "BuildConfig.h"
#include "platform/CustomLogger.h"
#include "platform/Description.h"

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

void note(const Sig* sig, std::string_view key, const std::string& text) {
  if (sig) logAt(*sig, "\"" + std::string(key) + "\" holds " + text);
}

void logWrongType(std::string_view key, plist_t node, std::string_view wanted, std::string_view readAs,
                  const Sig* sig) {
  note(sig, key, typeName(node) + ", not " + std::string(wanted) + "; read as " + std::string(readAs));
}

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

}  // namespace

std::optional<std::string> readSectionText(plist_t node, std::string_view key, const Sig* sig) {
  if (!node) return std::nullopt;
  if (auto text = plistString(node)) return text;
  logWrongType(key, node, "a string", "null", sig);
  return std::nullopt;
}

int64_t readSectionInteger(plist_t node, std::string_view key, bool digitsExpected, const Sig* sig) {
  if (!node) return 0;
  switch (plist_get_node_type(node)) {
    case PLIST_UINT:
    case PLIST_BOOLEAN:
      if (auto value = plistInteger(node)) return *value;
      note(sig, key, "an integer beyond the signed 64-bit range; read as 0");
      return 0;
    case PLIST_REAL:
      if (auto value = plistInteger(node)) return *value;
      note(sig, key, "the real " + describe(node) + ", beyond the integer range; read as 0");
      return 0;
    case PLIST_STRING: {
      const std::string text = plistString(node).value_or("");
      int64_t value = 0;
      const bool allDigits =
          !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (allDigits && error == std::errc() && end == text.data() + text.size()) {
        if (!digitsExpected) note(sig, key, "the string \"" + text + "\"; read as " + std::to_string(value));
        return value;
      }
      note(sig, key, "\"" + text + "\", not a decimal number; read as 0");
      return 0;
    }
    default:
      logWrongType(key, node, "an integer", "0", sig);
      return 0;
  }
}

bool readSectionFlag(plist_t node, std::string_view key, const Sig* sig) {
  if (!node) return false;
  if (plist_get_node_type(node) == PLIST_STRING) {
    static constexpr std::pair<std::string_view, bool> kWords[] = {
        {"1", true}, {"0", false}, {"yes", true}, {"no", false}, {"true", true}, {"false", false},
    };
    const std::string text = plistString(node).value_or("");
    const std::string word = lowerCase(text);
    for (const auto& [spelling, flag] : kWords) {
      if (word != spelling) continue;
      note(sig, key, "the string \"" + text + "\"; read as " + (flag ? "true" : "false"));
      return flag;
    }
  }
  if (auto flag = plistBool(node)) return *flag;
  logWrongType(key, node, "a boolean", "false", sig);
  return false;
}

Plist readSectionDictionary(plist_t node, std::string_view key, const Sig* sig) {
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
