#pragma once
// The wire format of the documents the tool writes and posts, as one grammar
// built from the collectors' category tables and the reports' element lists.
// The checker, the RELAX NG schema and the server developers' description are
// all read off this grammar.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brim::inspect {

// What a text (an element's or an attribute's) must be.
struct TextRule {
  std::string fixed;    // exactly this, when not empty
  std::string pattern;  // else a regular expression (XML Schema dialect, anchored) when not empty
  bool index = false;   // attributes only: 0, 1, 2 ... counted per parent
};

struct Attribute {
  std::string name;
  TextRule value;
};

// One step of a content model: an element, a group of steps, or a named
// group again (the locations chain nests into itself).
struct Node {
  enum class Kind { Element, Group, Again };
  Kind kind = Kind::Element;
  std::string name;  // element name; group name (Group, Again)
  int min = 1;
  int max = 1;  // -1: unbounded
  // Elements: a leaf holds text only; otherwise its children follow `children`.
  bool leaf = true;
  bool cdata = false;  // a leaf whose value is written as a CDATA section
  TextRule text;
  std::vector<Attribute> attributes;
  std::vector<Node> children;
  std::string note;  // what the element is, for the description
};

struct DocumentRule {
  std::string title;           // "Hardware inventory" ...
  std::string fileNamePrefix;  // of the data-post file
  Node root;
};

// Every document the tool produces.
const std::vector<DocumentRule>& documentRules();

// Checks one document's text. Absent when it follows the wire format, else the
// first deviation: "<element path>: <what is wrong>".
std::optional<std::string> checkDocument(std::string_view text);

// For a data-post file ("<prefix>_<registration id>_<yyyyMMddHHmmss>"): absent
// when its name fits the document it holds, else what does not. Absent for
// any other name.
std::optional<std::string> checkDataPostName(std::string_view fileName, std::string_view text);

// The document in the tree builder's text form, with every value the
// compression envelope wrote as an empty element (it keeps no empty CDATA
// section) given its empty CDATA section back. Unchanged when it does not follow
// the wire format.
std::string withEmptyValuesRestored(std::string_view document);

// The grammar as a RELAX NG schema (XML syntax) and as Markdown for server developers.
std::string relaxNgSchema();
std::string wireFormatMarkdown();

}  // namespace brim::inspect
