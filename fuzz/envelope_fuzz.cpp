// The envelope's document object against any text, and its inflate step
// against any deflate stream: parse, write, zip and unzip must neither crash
// nor produce an envelope that its own inverse cannot open.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "envelope/EnvelopeDocument.h"

namespace {

// Everything after the declaration line.
std::string body(const std::string& text) { return text.substr(text.find("\r\n")); }

void parseZipUnzip(const std::string& input) {
  brim::EnvelopeDocument document;
  if (!document.load(input)) return;
  const std::string plain = document.text();
  if (!document.zipTree()) std::abort();
  document.declareEncoding();

  brim::EnvelopeDocument restored;
  if (!restored.load(document.text()) || !restored.unzipContent()) std::abort();
  restored.declareEncoding();
  // The text form escapes only the five characters in attribute values: a tab,
  // line feed or carriage return there is read back as a blank, and a "&#" as
  // a character reference. What comes out of the envelope is therefore the
  // original read back once from its own text form, not the original itself.
  brim::EnvelopeDocument readBack;
  if (!readBack.load(plain)) std::abort();
  if (body(restored.text()) != body(readBack.text())) std::abort();
}

// The bytes as the Base64 content of an envelope, as a receiver unpacks it.
void inflateContent(const std::string& bytes) {
  brim::EnvelopeDocument document;
  if (!document.load("<wpmacasstinfo><![CDATA[" + brim::base64Lines(bytes) + "]]></wpmacasstinfo>")) std::abort();
  document.unzipContent();
  document.text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1)
    inflateContent(input);
  else
    parseZipUnzip(input);
  return 0;
}
