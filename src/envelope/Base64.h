#pragma once
// Standard Base64 (RFC 4648 alphabet, "=" padding), shared by the
// cipher and the compression envelope.
#include <optional>
#include <string>
#include <string_view>

namespace brim {

// One line, no line breaks.
std::string encodeBase64(std::string_view bytes);

// Line breaks and other white space are skipped. Absent when the text holds a
// character outside the alphabet or ends inside a group of four.
std::optional<std::string> decodeBase64(std::string_view text);

}  // namespace brim
