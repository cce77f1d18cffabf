#pragma once
// Shrinks a report before it is posted to a site that asks for compression:
// the result is the report's root element again, holding the whole document,
// deflated and Base64-encoded, in one CDATA section.
//
//   \r\n<root><![CDATA[<76 Base64 characters>\r\n...<last line>\r\n]]></root>\r\n
//
// No XML declaration is part of the result, whatever the root.
#include <optional>
#include <string>

#include "envelope/EnvelopeDocument.h"

namespace brim {

class CompressChilkat {
 public:
  // Absent when the text is not one XML document.
  std::optional<std::string> compressChilkat(const std::string& text);
  // The inverse: the whole document, declaration included, with the
  // compressed content restored as the root's children. Empty when the text
  // does not parse; the document as loaded when its content does not restore.
  std::string deCompressChilkat(const std::string& text);
  // As deCompressChilkat, but empty unless the content restores.
  std::string deCompressUnzipContent(const std::string& text);

  // Reused by every call; its error log tells why a restore failed.
  const EnvelopeDocument& compresser() const { return compresser_; }

 private:
  EnvelopeDocument compresser_;
};

}  // namespace brim
