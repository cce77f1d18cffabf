#include "inspect/BodyDecoder.h"

#include <algorithm>
#include <pugixml.hpp>
#include <vector>

#include "envelope/Base64.h"
#include "envelope/CompressChilkat.h"
#include "envelope/EncryptionAES.h"
#include "envelope/RawDeflate.h"
#include "envelope/XMLTree.h"
#include "inspect/WireFormat.h"

namespace brim::inspect {
namespace {

// Layers a well-formed body can have: encryption around a compressed envelope.
constexpr int kMaxLayers = 4;
constexpr std::string_view kCompression = "compression envelope";
// The tool's documents nest a few elements deep; a few kilobytes of compressed
// envelope could hold millions of levels, which every tree walk would pay for.
constexpr size_t kMaxNesting = 256;
// What one compressed envelope may inflate to, as the tool's own limit.
constexpr size_t kMaxInflated = 64u << 20;
// The indented form of a document: past this, the document is given as it stands.
constexpr size_t kMaxPrettyOutput = 256u << 20;

// The deepest element nesting of text, counted without parsing it and given
// up past limit; never less than the parser would find.
size_t nestingDepth(std::string_view text, size_t limit) {
  size_t depth = 0, deepest = 0;
  const auto skipPast = [&text](size_t from, std::string_view end) {
    const size_t at = text.find(end, from);
    return at == std::string_view::npos ? text.size() : at + end.size();
  };
  for (size_t i = text.find('<'); i < text.size() && deepest <= limit; i = text.find('<', i)) {
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("<!--")) {
      i = skipPast(i, "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      i = skipPast(i, "]]>");
    } else if (rest.starts_with("<?")) {
      i = skipPast(i, "?>");
    } else if (rest.starts_with("<!")) {
      i = skipPast(i, ">");
    } else if (rest.starts_with("</")) {
      depth -= depth > 0 ? 1 : 0;
      i = skipPast(i, ">");
    } else {
      // A start tag ends at the first ">" outside a quoted attribute value.
      char quote = 0;
      size_t end = i + 1;
      for (; end < text.size() && (quote || text[end] != '>'); ++end) {
        if (quote ? text[end] == quote : text[end] == '"' || text[end] == '\'') quote = quote ? 0 : text[end];
      }
      if (end >= text.size() || text[end - 1] != '/') deepest = std::max(deepest, ++depth);
      i = end + 1;
    }
  }
  return deepest;
}

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

// A body being taken apart: the layers taken off so far, outermost first,
// the plain document once it is reached, and what was wrong once something was.
struct Unwrapping {
  std::vector<std::string> layers;
  std::string document;
  std::string& why;
};

std::string afterLastLayer(const Unwrapping& state) {
  return state.layers.empty() ? "" : " (after taking off " + state.layers.back() + ")";
}

bool fail(Unwrapping& state, std::string why) {
  state.why = std::move(why);
  return false;
}

bool failsNesting(std::string_view text, Unwrapping& state) {
  if (nestingDepth(text, kMaxNesting) <= kMaxNesting) return false;
  return !fail(state, "elements nested more than " + std::to_string(kMaxNesting) +
                          " levels deep, far more than any document the tool writes" + afterLastLayer(state));
}

bool unwrap(std::string text, const std::string& passPhrase, Unwrapping& state) {
  if (state.layers.size() > kMaxLayers) return fail(state, "more layers than any body the tool posts");
  if (failsNesting(text, state)) return false;
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
  const pugi::xml_node root = document.document_element();
  if (!parsed || !root) {
    return fail(state, "not an XML document" + afterLastLayer(state) + ": " +
                           (parsed ? std::string("no root element") : std::string(parsed.description())) + " at byte " +
                           std::to_string(parsed.offset));
  }
  const std::string name = root.name();
  bool hasElements = false, hasCData = false;
  for (pugi::xml_node child : root.children()) {
    hasElements = hasElements || child.type() == pugi::node_element;
    hasCData = hasCData || child.type() == pugi::node_cdata;
  }
  if (hasElements) {
    // What the tool logged is the tree builder's text of the document.
    if (state.layers.empty()) {
      state.document = std::move(text);
    } else if (std::find(state.layers.begin(), state.layers.end(), kCompression) != state.layers.end()) {
      state.document = withEmptyValuesRestored(text);
    } else {
      state.document = XMLTree::initWithXMLString(text).XMLString();
    }
    return true;
  }
  if (hasCData) {
    // The envelope parses what it inflates: too deep a document is refused before.
    const std::optional<std::string> zipped = decodeBase64(withoutWhitespace(root.child_value()));
    const std::optional<std::string> inflated = zipped ? rawInflate(*zipped, kMaxInflated) : std::nullopt;
    if (inflated) {
      state.layers.emplace_back(kCompression);
      if (failsNesting(*inflated, state)) return false;
      state.layers.pop_back();
    }
    CompressChilkat envelope;
    std::string restored = envelope.deCompressUnzipContent(text);
    if (restored.empty()) {
      const auto& log = envelope.compresser().errorLog();
      return fail(state, "<" + name + "> holds a compressed envelope that does not restore" +
                             (log.empty() ? std::string() : ": " + log.back()));
    }
    state.layers.emplace_back(kCompression);
    return unwrap(std::move(restored), passPhrase, state);
  }
  const std::string cipherText = withoutWhitespace(root.child_value());
  if (cipherText.empty()) return fail(state, "<" + name + "> is empty: neither a document nor an envelope");
  const std::optional<std::string> bytes = decodeBase64(cipherText);
  if (!bytes) {
    return fail(state, "the content of <" + name + "> is not Base64 (" + std::to_string(cipherText.size()) +
                           " characters): damaged or truncated");
  }
  if (bytes->empty() || bytes->size() % 16 != 0) {
    return fail(state, "the cipher text in <" + name + "> is " + std::to_string(bytes->size()) +
                           " bytes, not whole 16-byte blocks: truncated");
  }
  if (!decryptsWith(cipherText, passPhrase)) {
    return fail(state, "the content of <" + name + "> does not decrypt with this pass phrase");
  }
  std::string plain = EncryptionAES().decryptChilkat(cipherText, passPhrase);
  // Encrypted with the root tag: the cipher text holds the whole document;
  // without it, only what was between the root's tags.
  if (rootOf(plain) == name) {
    state.layers.push_back("encryption (root tag inside)");
  } else {
    state.layers.push_back("encryption (root tag outside)");
    plain = "<" + name + ">" + plain + "</" + name + ">";
  }
  return unwrap(std::move(plain), passPhrase, state);
}

}  // namespace

bool decryptsWith(std::string_view cipherText, const std::string& passPhrase) {
  const std::string stored = withoutWhitespace(cipherText);
  if (stored.empty()) return false;
  // The cipher is deterministic: only its own output comes back unchanged.
  EncryptionAES cipher;
  return cipher.encryptChilkat(cipher.decryptChilkat(stored, passPhrase), passPhrase) == stored;
}

std::optional<std::string> decodeBody(std::string_view body, const std::string& passPhrase, std::string& why) {
  Unwrapping state{{}, {}, why};
  if (!unwrap(std::string(body), passPhrase, state)) return std::nullopt;
  return std::move(state.document);
}

std::string prettyDocument(const std::string& document) {
  pugi::xml_document parsed;
  if (!parsed.load_buffer(document.data(), document.size(), pugi::parse_default | pugi::parse_declaration,
                          pugi::encoding_utf8)) {
    return document;
  }
  // Indentation grows with depth: a flat form too large to indent stays flat.
  struct Bounded : pugi::xml_writer {
    std::string text;
    bool overflowed = false;
    void write(const void* data, size_t size) override {
      overflowed = overflowed || text.size() + size > kMaxPrettyOutput;
      if (!overflowed) text.append(static_cast<const char*>(data), size);
    }
  } out;
  parsed.save(out, "  ", pugi::format_indent);
  if (out.overflowed) return document;
  return std::move(out.text);
}

}  // namespace brim::inspect
