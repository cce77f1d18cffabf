#pragma once
// Bytes from files and pipes turned into the UTF-8 text the rest of the tool
// works with. Nothing here fails: bytes that are not UTF-8 still become text.
#include <string>
#include <string_view>

namespace brim {

class TextEncoding {
 public:
  // The text of a file that does not name its encoding, detected from its
  // content: a UTF-16 byte-order mark means UTF-16, well-formed UTF-8 (with or
  // without its byte-order mark) means UTF-8, anything else is read as
  // ISO Latin-1, which every byte sequence is.
  static std::string decodeDetected(std::string_view bytes);

  // UTF-8 with every ill-formed sequence replaced by U+FFFD. A sequence cut off
  // at the end is left undecoded unless atEnd: its length goes to undecodedTail,
  // so a stream read in pieces decodes the same as read whole.
  // Returns how many replacement characters were written.
  static size_t decodeUtf8Lossy(std::string_view bytes, bool atEnd, std::string& out, size_t& undecodedTail);

  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
};

}  // namespace brim
