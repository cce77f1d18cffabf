#include "inspect/PlistJson.h"

#include "config/SectionFields.h"
#include "inspect/Installation.h"
#include "inspect/ShownText.h"
#include "platform/Plist.h"

namespace brim::inspect {
namespace {

void writeJson(std::ostream& out, std::string_view key, plist_t node, bool decrypt, const std::string& passPhrase) {
  switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
      const char* separator = "";
      out << "{";
      forEachEntry(node, [&](const std::string& name, plist_t value) {
        out << separator << jsonString(name) << ": ";
        writeJson(out, name, value, decrypt, passPhrase);
        separator = ", ";
      });
      out << "}";
      return;
    }
    case PLIST_ARRAY:
      out << "[";
      for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
        if (i) out << ", ";
        writeJson(out, key, plist_array_get_item(node, i), decrypt, passPhrase);
      }
      out << "]";
      return;
    case PLIST_BOOLEAN:
      out << (plistBool(node).value_or(false) ? "true" : "false");
      return;
    case PLIST_UINT:
    case PLIST_REAL:
      // A number JSON cannot hold (beyond 64 bits, NaN) is null.
      if (const std::optional<int64_t> value = plistInteger(node)) {
        out << *value;
      } else {
        out << "null";
      }
      return;
    case PLIST_STRING: {
      out << jsonString(shownString(key, plistString(node).value_or(""), decrypt, passPhrase).text);
      return;
    }
    default:
      out << "null";  // data and dates: nothing the tool reads from these files
      return;
  }
}

}  // namespace

bool printPlistFileJson(std::ostream& out, const RootedTree& tree, const std::string& path, bool decrypt,
                        std::string& why) {
  const Plist file = readDictionaryFile(tree, path, why);
  if (!file) return false;
  writeJson(out, {}, file.get(), decrypt, sharedPassPhrase());
  out << "\n";
  return true;
}

}  // namespace brim::inspect
