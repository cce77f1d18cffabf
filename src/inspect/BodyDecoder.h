#pragma once
// Turns a posted body or a data-post file back into the plain document: the
// forms the direct reports post (compressed envelope; encrypted with the root
// tag inside or outside the cipher text, around either the document or its
// compressed envelope) and the plain document of a data-post file.
#include <string>
#include <string_view>
#include <vector>

namespace brim::inspect {

struct Decoded {
  bool ok = false;
  std::string document;             // the plain document, as the tool logged it
  std::vector<std::string> layers;  // what was taken off, outermost first
  std::string error;                // what was wrong, when not ok
};

Decoded decodeBody(std::string_view body, const std::string& passPhrase);

// True when cipherText is what the cipher makes of some text under passPhrase.
bool decryptsWith(std::string_view cipherText, const std::string& passPhrase);

// The document indented, two spaces a level; the text unchanged if it does not parse.
std::string prettyDocument(const std::string& document);

}  // namespace brim::inspect
