#pragma once
// A report's text as its web post wants it on the wire: compressed, then
// encrypted (the whole text, or only what lies inside the root element) and
// wrapped again in the root's tags.
#include <optional>
#include <string>

#include "platform/Signature.h"

namespace brim {

// The web post's wishes for the text it is sent.
struct EnvelopeFlags {
  bool compression = false;
  bool encryption = false;
  bool encryptXMLRootTag = false;
};

// The text to post, each step logged under sig; absent (and logged) when the
// text cannot be compressed.
std::optional<std::string> envelopeReport(std::string text, const EnvelopeFlags& flags, const std::string& key,
                                          const Sig& sig);

// The document text between the start and end tags of its root element named name
// (empty for an empty root); absent when the text has no such root.
std::optional<std::string> xmlStringWithoutRootNodeWithName(const std::string& name, const std::string& xml);

}  // namespace brim
