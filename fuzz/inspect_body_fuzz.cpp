// Any bytes as a body brim_inspect decodes and checks, posted as they stand or
// inside the layers the tool puts around a document: the first byte chooses
// compression, encryption around the document, or both, so that mutations of
// the inner document reach every layer. Nothing may crash or hang; a decoded
// document nests no deeper than the decoder allows (its bound holds against
// the parser), and what is shown is safe for a terminal and for JSON.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "config/SectionFields.h"
#include "envelope/Base64.h"
#include "envelope/EncryptionAES.h"
#include "envelope/RawDeflate.h"
#include "inspect/BodyDecoder.h"
#include "inspect/ShownText.h"
#include "inspect/WireFormat.h"
#include "platform/CustomLogger.h"
#include "platform/Text.h"

namespace {

std::string compressed(const std::string& root, const std::string& inner) {
  return "<" + root + "><![CDATA[" + brim::encodeBase64(brim::rawDeflate(inner).value_or("")) + "]]></" + root + ">";
}

std::string encrypted(const std::string& root, const std::string& inner) {
  return "<" + root + ">" + brim::EncryptionAES().encryptChilkat(inner, brim::sharedPassPhrase()) + "</" + root + ">";
}

int depthOf(pugi::xml_document& document) {
  struct Deepest : pugi::xml_tree_walker {
    int depth_ = 0;
    bool for_each(pugi::xml_node&) override {
      depth_ = std::max(depth_, depth() + 1);
      return true;
    }
  } walker;
  document.traverse(walker);
  return walker.depth_;
}

// Shown text holds no control character but the line feed, and is UTF-8.
void expectShowable(std::string_view text, bool keepLines) {
  const std::string shown = brim::inspect::forTerminal(text, keepLines);
  for (unsigned char c : shown) {
    if ((c < 0x20 && !(keepLines && (c == '\n' || c == '\t'))) || c == 0x7f) std::abort();
  }
  if (!brim::isValidUtf8(shown) || !brim::isValidUtf8(brim::inspect::jsonString(text))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  brim::CustomLogger::setSink([](const std::string&) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string inner(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string body;
  switch (data[0] % 5) {
    case 0:
      body = inner;
      break;
    case 1:
      body = compressed("wpmacsmartsts", inner);
      break;
    case 2:
      body = encrypted("wpmacsmartsts", inner);
      break;
    case 3:
      body = encrypted("wpmacsmartsts", compressed("wpmacsmartsts", inner));
      break;
    default:
      body = compressed("wpmacasstinfo", compressed("wpmacasstinfo", inner));
  }
  std::string why;
  const std::optional<std::string> document = brim::inspect::decodeBody(body, brim::sharedPassPhrase(), why);
  if (!document) {
    expectShowable(why, false);
    return 0;
  }
  pugi::xml_document parsed;
  if (parsed.load_buffer(document->data(), document->size())) {
    if (depthOf(parsed) > 257) std::abort();  // elements, and the text inside the deepest
  }
  const std::optional<std::string> deviation = brim::inspect::checkDocument(*document);
  if (deviation) expectShowable(*deviation, false);
  expectShowable(brim::inspect::prettyDocument(*document), true);
  return 0;
}
