#pragma once
// Turns a posted body or a data-post file back into the plain document: the
// forms the direct reports post (compressed envelope; encrypted with the root
// tag inside or outside the cipher text, around either the document or its
// compressed envelope) and the plain document of a data-post file.
#include <optional>
#include <string>
#include <string_view>

namespace brim::inspect {

// The plain document, as the tool logged it; absent, with why set to what was
// wrong (and after which layer), when the body is none of those forms.
std::optional<std::string> decodeBody(std::string_view body, const std::string& passPhrase, std::string& why);

// True when cipherText is what the cipher makes of some text under passPhrase.
bool decryptsWith(std::string_view cipherText, const std::string& passPhrase);

// The document indented, two spaces a level; the text unchanged if it does not parse.
std::string prettyDocument(const std::string& document);

}  // namespace brim::inspect
