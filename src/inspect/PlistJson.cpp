#include "inspect/PlistJson.h"

#include "config/SectionFields.h"
#include "envelope/EncryptionAES.h"
#include "inspect/BodyDecoder.h"
#include "inspect/Installation.h"
#include "inspect/ShownText.h"
#include "platform/Plist.h"

namespace brim::inspect {
namespace {

void writeJson(std::ostream& out, plist_t node, bool decrypt, const std::string& passPhrase) {
  switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
      const char* separator = "";
      out << "{";
      forEachEntry(node, [&](const std::string& key, plist_t value) {
        out << separator << jsonString(key) << ": ";
        writeJson(out, value, decrypt, passPhrase);
        separator = ", ";
      });
      out << "}";
      return;
    }
    case PLIST_ARRAY:
      out << "[";
      for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
        if (i) out << ", ";
        writeJson(out, plist_array_get_item(node, i), decrypt, passPhrase);
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
      const std::string text = plistString(node).value_or("");
      if (!decryptsWith(text, passPhrase)) {
        out << jsonString(text);
      } else {
        out << jsonString(decrypt ? EncryptionAES().decryptChilkat(text, passPhrase) : "(encrypted)");
      }
      return;
    }
    default:
      out << "null";  // data and dates: nothing the tool reads from these files
      return;
  }
}

}  // namespace

bool printPlistFileJson(std::ostream& out, const std::string& path, bool decrypt, std::string& error) {
  const Plist file = readPlistFile(path);
  if (!file || plist_get_node_type(file.get()) != PLIST_DICT) {
    error = path + " cannot be read as a property-list dictionary";
    return false;
  }
  writeJson(out, file.get(), decrypt, sharedPassPhrase());
  out << "\n";
  return true;
}

}  // namespace brim::inspect
