#pragma once
// The element tree every document of the tool is built with: a root, an
// insertion point (the current node) that moves down into children and back
// up, and a serialiser that adds no white space.
//
// Serialised form, fixed for every document:
//   <?xml version="1.0" encoding="UTF-8"?><root>...</root>
//   an element without content: <a/>;  an empty CDATA value: <a><![CDATA[]]></a>;
//   attributes in the order added.
// Character data escapes & < >; attribute values escape & < " and write tab,
// line feed and carriage return as character references; a CDATA value holding
// "]]>" is split into two CDATA sections there. Characters XML 1.0 cannot carry
// (C0 controls, U+FFFE/U+FFFF, lone surrogates, bytes that are not UTF-8) are
// replaced by U+FFFD in every value, with one log line.
// A name that is not an XML name is refused, and the tree stays unchanged.
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/Signature.h"

namespace brim {

class XMLTree {
 public:
  // root = a new, empty CDATA node; nothing builds on a tree made this way.
  XMLTree();
  explicit XMLTree(std::string_view rootName);  // initWithRootName:
  static XMLTree initWithXMLString(const std::optional<std::string>& text);

  // A copy keeps its insertion point at the same place in the copied tree.
  XMLTree(const XMLTree& other);
  XMLTree& operator=(const XMLTree& other);
  // A moved document keeps its nodes, so the insertion point moves along; the
  // tree left behind has neither root nor insertion point.
  XMLTree(XMLTree&& other) noexcept
      : doc_(std::move(other.doc_)),
        current_(std::exchange(other.current_, {})),
        numbered_(std::exchange(other.numbered_, {})) {}
  XMLTree& operator=(XMLTree&& other) noexcept {
    doc_ = std::move(other.doc_);
    current_ = std::exchange(other.current_, {});
    numbered_ = std::exchange(other.numbered_, {});
    return *this;
  }

  // Building: each appends to the current node.
  void addChildNodeToCurrentNodeWithName(std::string_view name, const std::optional<std::string>& value);
  void addChildNodeWithCDATAToCurrentNodeWithName(std::string_view name, const std::optional<std::string>& value);
  void addChildNodeToCurrentNodeWithName(std::string_view name, const std::optional<std::string>& value,
                                         std::string_view attributeName, std::string_view attributeValue);
  void addAttributeToCurrentNodeWithName(std::string_view name, std::string_view value);
  void addChildTree(const XMLTree& other);
  void addSiblingTree(const XMLTree& other);
  void mergeFromTree(const XMLTree&) {}
  void currentNodeContainsCDATA(bool) {}

  // Moving the insertion point: true when it moved.
  bool jumpToChildWithName(std::string_view name);
  bool jumpToChildWithStringValue(std::string_view value);
  bool jumpToChildWithNameAndChildStringValue(std::string_view name, std::string_view value);
  bool jumpToChildWithAttributeName(std::string_view attributeName, std::string_view value);
  bool jumpToSiblingWithName(std::string_view name);
  bool jumpToParent();
  bool jumpToRootNode();

  // Output.
  std::string XMLString() const;
  std::string toNSData() const { return XMLString(); }
  std::string XMLStringWithoutRootNode() const;

  // A large document written piece by piece, byte for byte as XMLString()
  // would write it with the pieces added as children: the opening text (the
  // root with its children so far, up to where its end tag begins; the root
  // must have a child), the texts of further elements, the closing text.
  void appendOpeningText(std::string& out, bool withDeclaration) const;
  void appendClosingText(std::string& out) const;
  // The text of the root element, or of the current node, with all it holds.
  void appendRootText(std::string& out) const;
  void appendCurrentNodeText(std::string& out) const;

  // The root element's name; empty when there is no root element.
  std::string rootName() const;
  // Read access for callers that inspect a finished tree (tests, the envelope).
  // rootElement is null for a tree without a root.
  pugi::xml_node rootElement() const;
  pugi::xml_node currentNode() const { return current_; }

 private:
  // Appends a copy of node to the current node; false (and logged) when the current node takes no children.
  bool appendCopy(pugi::xml_node node, const Sig& sig);
  // Appends a new element with the value as its text; null (and logged) as appendCopy.
  pugi::xml_node appendElement(std::string_view name, const std::optional<std::string>& value, const Sig& sig);
  // Makes node the insertion point when there is one.
  bool moveTo(pugi::xml_node node);

  // Records are numbered 0, 1, 2 ... as they are added, and each is entered
  // right after it is added: a search from the first child would cost the
  // whole list every time. For each element whose children carry one
  // attribute with ascending decimal values (so no two alike), the child added
  // last is kept, and entering it by its value needs no search; any other way
  // a child with attributes can appear drops what was kept.
  struct Numbering {
    std::string attribute;
    pugi::xml_node last;
    unsigned long long lastNumber = 0;
    bool ascending = false;
  };
  void noteNumbered(pugi::xml_node parent, pugi::xml_node child, std::string_view attribute);
  void forgetNumbering(pugi::xml_node parent) { numbered_.erase(parent.internal_object()); }

  pugi::xml_document doc_;
  pugi::xml_node current_;
  std::unordered_map<const pugi::xml_node_struct*, Numbering> numbered_;
};

}  // namespace brim
