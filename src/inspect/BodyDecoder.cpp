#include "inspect/BodyDecoder.h"

#include <algorithm>
#include <pugixml.hpp>
#include <sstream>

#include "envelope/Base64.h"
#include "envelope/CompressChilkat.h"
#include "envelope/EncryptionAES.h"
#include "envelope/XMLTree.h"
#include "inspect/WireFormat.h"

namespace brim::inspect {
namespace {

// Layers a well-formed body can have: encryption around a compressed envelope.
constexpr int kMaxLayers = 4;
constexpr std::string_view kCompression = "compression envelope";

std::string withoutWhitespace(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') out += c;
  }
  return out;
}

// The root element's name when text is one XML element (a declaration allowed), else empty.
std::string rootOf(std::string_view text) {
  pugi::xml_document document;
  if (!document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) return {};
  size_t elements = 0;
  for (pugi::xml_node node : document.children()) elements += node.type() == pugi::node_element ? 1 : 0;
  return elements == 1 ? document.document_element().name() : std::string();
}

bool fail(Decoded& result, std::string error) {
  result.error = std::move(error);
  return false;
}

bool unwrap(std::string text, const std::string& passPhrase, Decoded& result) {
  if (result.layers.size() > kMaxLayers) return fail(result, "more layers than any body the tool posts");
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
  const pugi::xml_node root = document.document_element();
  if (!parsed || !root) {
    const std::string where = result.layers.empty() ? "" : " (after taking off " + result.layers.back() + ")";
    return fail(result, "not an XML document" + where + ": " +
                            (parsed ? std::string("no root element") : std::string(parsed.description())) +
                            " at byte " + std::to_string(parsed.offset));
  }
  const std::string name = root.name();
  bool hasElements = false, hasCData = false;
  for (pugi::xml_node child : root.children()) {
    hasElements = hasElements || child.type() == pugi::node_element;
    hasCData = hasCData || child.type() == pugi::node_cdata;
  }
  if (hasElements) {
    // What the tool logged is the tree builder's text of the document.
    if (result.layers.empty()) {
      result.document = std::move(text);
    } else if (std::find(result.layers.begin(), result.layers.end(), kCompression) != result.layers.end()) {
      result.document = withEmptyValuesRestored(text);
    } else {
      result.document = XMLTree::initWithXMLString(text).XMLString();
    }
    return true;
  }
  if (hasCData) {
    CompressChilkat envelope;
    std::string restored = envelope.deCompressUnzipContent(text);
    if (restored.empty()) {
      const auto& log = envelope.compresser().errorLog();
      return fail(result, "<" + name + "> holds a compressed envelope that does not restore" +
                              (log.empty() ? std::string() : ": " + log.back()));
    }
    result.layers.emplace_back(kCompression);
    return unwrap(std::move(restored), passPhrase, result);
  }
  const std::string cipherText = withoutWhitespace(root.child_value());
  if (cipherText.empty()) return fail(result, "<" + name + "> is empty: neither a document nor an envelope");
  const std::optional<std::string> bytes = decodeBase64(cipherText);
  if (!bytes) {
    return fail(result, "the content of <" + name + "> is not Base64 (" + std::to_string(cipherText.size()) +
                            " characters): damaged or truncated");
  }
  if (bytes->empty() || bytes->size() % 16 != 0) {
    return fail(result, "the cipher text in <" + name + "> is " + std::to_string(bytes->size()) +
                            " bytes, not whole 16-byte blocks: truncated");
  }
  if (!decryptsWith(cipherText, passPhrase)) {
    return fail(result, "the content of <" + name + "> does not decrypt with this pass phrase");
  }
  std::string plain = EncryptionAES().decryptChilkat(cipherText, passPhrase);
  // Encrypted with the root tag: the cipher text holds the whole document;
  // without it, only what was between the root's tags.
  if (rootOf(plain) == name) {
    result.layers.push_back("encryption (root tag inside)");
  } else {
    result.layers.push_back("encryption (root tag outside)");
    plain = "<" + name + ">" + plain + "</" + name + ">";
  }
  return unwrap(std::move(plain), passPhrase, result);
}

}  // namespace

bool decryptsWith(std::string_view cipherText, const std::string& passPhrase) {
  const std::string stored = withoutWhitespace(cipherText);
  if (stored.empty()) return false;
  // The cipher is deterministic: only its own output comes back unchanged.
  EncryptionAES cipher;
  return cipher.encryptChilkat(cipher.decryptChilkat(stored, passPhrase), passPhrase) == stored;
}

Decoded decodeBody(std::string_view body, const std::string& passPhrase) {
  Decoded result;
  result.ok = unwrap(std::string(body), passPhrase, result);
  return result;
}

std::string prettyDocument(const std::string& document) {
  pugi::xml_document parsed;
  if (!parsed.load_buffer(document.data(), document.size(), pugi::parse_default | pugi::parse_declaration,
                          pugi::encoding_utf8)) {
    return document;
  }
  std::ostringstream out;
  parsed.save(out, "  ", pugi::format_indent);
  return out.str();
}

}  // namespace brim::inspect
