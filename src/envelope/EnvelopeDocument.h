#pragma once
// The compression envelope's own XML document object: an element tree with an
// optional declaration, and the one text form the envelope's receivers know.
//
// Per element it keeps the tag, the attributes in their order, one text with a
// CDATA flag and the child elements. Text form, every line ending in CR LF:
//   <?xml version="1.0" encoding="UTF-8" ?>      (a lone CR LF without a declaration)
//   <root a="1">
//       <leaf>escaped &amp; text</leaf>
//       <raw><![CDATA[kept <as> is]]></raw>
//       <empty />
//   </root>
// Four spaces per depth, at most fifty levels deep.
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace brim {

class EnvelopeDocument {
 public:
  // Replaces the document with the one in `text` (UTF-8): entity references
  // decoded, ordinary text trimmed, CDATA kept with its flag. False when the
  // text is not one XML document; the document is then empty.
  bool load(std::string_view text);

  bool hasRoot() const;
  std::string rootTag() const;
  // The root's text (several text pieces read as one), empty when it has none.
  std::string rootText() const;

  std::string text() const;

  // The root's children give way to a CDATA text: the Base64 lines of the
  // raw-deflated text form of the whole document.
  bool zipTree();
  // The inverse: the root takes over the text and children of the document
  // inflated from its content; its own tag and attributes stay.
  bool unzipContent();

  // Declares encoding="utf-8" unless an encoding is declared; creates the
  // declaration (version "1.0") when there is none.
  void declareEncoding();

  // The document object's own record of failures, oldest first.
  const std::vector<std::string>& errorLog() const { return errors_; }

 private:
  pugi::xml_node declaration() const;
  pugi::xml_node root() const;

  pugi::xml_document doc_;
  std::vector<std::string> errors_;
};

// Standard Base64 broken into lines of 76 characters, each full line ending in
// CR LF, with one more CR LF at the very end.
std::string base64Lines(std::string_view bytes);

}  // namespace brim
