#include "envelope/ReportEnvelope.h"

#include <string_view>

#include "envelope/CompressChilkat.h"
#include "envelope/EncryptionAES.h"
#include "envelope/XMLTree.h"
#include "platform/CustomLogger.h"

namespace brim {

std::optional<std::string> envelopeReport(std::string text, const EnvelopeFlags& flags, const std::string& key,
                                          const Sig& sig) {
  if (flags.compression) {
    CompressChilkat compresser;
    std::optional<std::string> compressed = compresser.compressChilkat(text);
    if (!compressed) {
      // Only a text that is not one XML document fails, which a built report never is.
      logAt(sig, "compression failed; report not sent");
      return std::nullopt;
    }
    text = std::move(*compressed);
  }
  if (flags.encryption) {
    const std::string rootName = XMLTree::initWithXMLString(text).rootName();
    EncryptionAES encrypter;
    std::string encrypted;
    if (flags.encryptXMLRootTag) {
      encrypted = encrypter.encryptChilkat(text, key);
      logAt(sig, "encryptedString=" + encrypted);
    } else {
      encrypted = encrypter.encryptChilkat(xmlStringWithoutRootNodeWithName(rootName, text).value_or(""), key);
    }
    text = "<" + rootName + ">" + encrypted + "</" + rootName + ">";
    logAt(sig, "xmlString:" + text);
  }
  return text;
}

std::optional<std::string> xmlStringWithoutRootNodeWithName(const std::string& name, const std::string& xml) {
  // The root's start tag is the first "<name" followed by white space, ">" or "/>"
  // (declarations, comments and processing instructions come before it).
  size_t start = 0;
  for (;;) {
    start = xml.find("<" + name, start);
    if (start == std::string::npos) return std::nullopt;
    const size_t after = start + 1 + name.size();
    if (after < xml.size() && std::string_view(" \t\r\n>/").find(xml[after]) != std::string_view::npos) break;
    start = after;
  }
  const size_t open = xml.find('>', start);
  if (open == std::string::npos) return std::nullopt;
  if (xml[open - 1] == '/') return std::string();  // <name/>
  const size_t close = xml.rfind("</" + name);
  if (close == std::string::npos || close < open) return std::nullopt;
  return xml.substr(open + 1, close - open - 1);
}

}  // namespace brim
