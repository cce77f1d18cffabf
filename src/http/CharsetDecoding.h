#pragma once
// Text encodings of HTTP bodies, named by their IANA charset names, and the
// conversion of a body to the UTF-8 that the rest of the tool works in.
#include <optional>
#include <string>
#include <string_view>

namespace brim {

inline constexpr std::string_view kUTF8StringEncoding = "UTF-8";
inline constexpr std::string_view kISOLatin1StringEncoding = "ISO-8859-1";

// The name as given when the converter knows the charset, else absent.
std::optional<std::string> recognisedTextEncoding(std::string_view ianaName);

// The bytes read in `encoding`, as UTF-8; absent when they are not valid in it
// or the encoding is unknown.
std::optional<std::string> decodeText(std::string_view bytes, std::string_view encoding);

}  // namespace brim
