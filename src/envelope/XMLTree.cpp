#include "envelope/XMLTree.h"

#include <cstdio>
#include <vector>

#include "envelope/XMLText.h"
#include "platform/CustomLogger.h"
#include "platform/Text.h"

namespace brim {
namespace {

constexpr std::string_view kClass = "XMLTree";
// CDATA sections stay CDATA nodes; line ends are normalised as any XML reader does.
constexpr unsigned kParseFlags = pugi::parse_default;

// The value as it goes into the tree; logs when characters had to be replaced.
std::string textForTree(const Sig& sig, std::string_view name, std::string_view value) {
  if (isXmlText(value)) return std::string(value);
  std::string safe = xmlSafeText(value);
  logAt(sig, "characters XML cannot carry replaced in the value of " + std::string(name) + ": " + safe);
  return safe;
}

bool checkName(const Sig& sig, std::string_view what, std::string_view name) {
  if (isXmlName(name)) return true;
  logAt(sig, std::string(what) + " not added: \"" + std::string(name) + "\" is not an XML name");
  return false;
}

// The whole text of a node: its own and that of all its descendants, in document order.
void appendStringValue(pugi::xml_node node, std::string& out) {
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) out += node.value();
  for (pugi::xml_node child : node.children()) appendStringValue(child, out);
}
std::string stringValue(pugi::xml_node node) {
  std::string out;
  appendStringValue(node, out);
  return out;
}

template <typename Match>
pugi::xml_node firstElementChild(pugi::xml_node parent, Match match) {
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element && match(child)) return child;
  }
  return {};
}

// The positions among siblings from the document down to node: what a copy
// of the document needs to find the same node again.
std::vector<size_t> pathOf(pugi::xml_node node) {
  std::vector<size_t> path;
  for (; node && node.type() != pugi::node_document; node = node.parent()) {
    size_t index = 0;
    for (pugi::xml_node sibling = node.previous_sibling(); sibling; sibling = sibling.previous_sibling()) ++index;
    path.insert(path.begin(), index);
  }
  return path;
}

pugi::xml_node nodeAt(const pugi::xml_document& doc, const std::vector<size_t>& path) {
  pugi::xml_node node = doc;
  for (size_t index : path) {
    node = node.first_child();
    for (size_t i = 0; i < index && node; ++i) node = node.next_sibling();
    if (!node) return {};
  }
  return node;
}

// The parent inside the tree: the document that holds the root is no parent.
pugi::xml_node parentInTree(pugi::xml_node node) {
  pugi::xml_node parent = node.parent();
  return parent.type() == pugi::node_element ? parent : pugi::xml_node();
}

// A decimal number written as "%d" writes it: no sign, no leading zero.
std::optional<unsigned long long> plainNumber(std::string_view text) {
  if (text.empty() || text.size() > 18 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  unsigned long long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

bool hasRootToAdd(const XMLTree& other, const Sig& sig) {
  if (other.rootElement()) return true;
  logAt(sig, "nothing appended: the added tree has no root");
  return false;
}

}  // namespace

XMLTree::XMLTree() { current_ = doc_.append_child(pugi::node_cdata); }

XMLTree::XMLTree(std::string_view rootName) {
  if (!checkName(Sig::instance(kClass, "initWithRootName:"), "root element", rootName)) return;
  current_ = doc_.append_child(std::string(rootName).c_str());
}

XMLTree XMLTree::initWithXMLString(const std::optional<std::string>& text) {
  const Sig sig = Sig::instance(kClass, "initWithXMLString:");
  XMLTree tree;
  tree.doc_.reset();
  tree.current_ = {};
  pugi::xml_document parsed;
  const std::string_view source = text ? std::string_view(*text) : std::string_view();
  const pugi::xml_parse_result result =
      parsed.load_buffer(source.data(), source.size(), kParseFlags, pugi::encoding_utf8);
  // The parser takes sibling elements at the top without complaint; a document has one.
  size_t elements = 0;
  for (pugi::xml_node node : parsed.children()) elements += node.type() == pugi::node_element ? 1 : 0;
  if (!result || elements != 1) {
    logAt(sig, "text does not parse as one element: " +
                   std::string(result ? "more than one element at the top" : result.description()) + " at offset " +
                   std::to_string(result.offset));
  } else {
    tree.current_ = tree.doc_.append_copy(parsed.document_element());
  }
  logAt(sig, "rootElement=" + (tree.current_ ? xmlText(tree.current_) : std::string(kNullText)));
  return tree;
}

XMLTree::XMLTree(const XMLTree& other) { *this = other; }

XMLTree& XMLTree::operator=(const XMLTree& other) {
  if (this != &other) {
    doc_.reset(other.doc_);
    current_ = other.current_ ? nodeAt(doc_, pathOf(other.current_)) : pugi::xml_node();
    numbered_.clear();
  }
  return *this;
}

bool XMLTree::appendCopy(pugi::xml_node node, const Sig& sig) {
  if (current_.type() == pugi::node_element && current_.append_copy(node)) return true;
  logAt(sig, "nothing appended: the tree has no element to append " + xmlText(node) + " to");
  return false;
}

pugi::xml_node XMLTree::appendElement(std::string_view name, const std::optional<std::string>& value, const Sig& sig) {
  if (current_.type() != pugi::node_element) {
    logAt(sig, "nothing appended: the tree has no element to append " + std::string(name) + " to");
    return {};
  }
  pugi::xml_node element = current_.append_child(std::string(name).c_str());
  // No text node for an empty value, so that the element is written as an empty-element tag.
  if (value && !value->empty()) element.text().set(textForTree(sig, name, *value).c_str());
  return element;
}

void XMLTree::addChildNodeToCurrentNodeWithName(std::string_view name, const std::optional<std::string>& value) {
  const Sig sig = Sig::instance(kClass, "addChildNodeToCurrentNodeWithName:stringValue:");
  if (checkName(sig, "element", name)) appendElement(name, value, sig);
}

void XMLTree::addChildNodeWithCDATAToCurrentNodeWithName(std::string_view name,
                                                         const std::optional<std::string>& value) {
  const Sig sig = Sig::instance(kClass, "addChildNodeWithCDATAToCurrentNodeWithName:stringValue:");
  std::string text = trimWhitespaceAndNewlines(orNull(value));
  if (text == "null") text.clear();
  // Built directly rather than parsed, which costs a document per value. What
  // XML cannot carry is replaced as in any other value, so that the element is
  // always there; a "]]>" in the text is written across two CDATA sections,
  // which a reader joins again.
  if (!checkName(sig, "CDATA element", name)) return;
  text = textForTree(sig, name, text);
  pugi::xml_node element = appendElement(name, std::nullopt, sig);
  if (!element) return;
  if (!element.append_child(pugi::node_cdata).set_value(withXmlLineEnds(std::move(text)).c_str())) {
    current_.remove_child(element);
    logAt(sig, "CDATA element " + std::string(name) + " not added: out of memory");
  }
}

void XMLTree::addChildNodeToCurrentNodeWithName(std::string_view name, const std::optional<std::string>& value,
                                                std::string_view attributeName, std::string_view attributeValue) {
  const Sig sig = Sig::instance(kClass, "addChildNodeToCurrentNodeWithName:stringValue:attributeName:stringValue:");
  if (!checkName(sig, "element", name) || !checkName(sig, "attribute", attributeName)) return;
  if (pugi::xml_node element = appendElement(name, value, sig)) {
    element.append_attribute(std::string(attributeName).c_str())
        .set_value(textForTree(sig, attributeName, attributeValue).c_str());
    noteNumbered(current_, element, attributeName);
  }
}

void XMLTree::noteNumbered(pugi::xml_node parent, pugi::xml_node child, std::string_view attribute) {
  const std::string name(attribute);
  const std::optional<unsigned long long> number = plainNumber(child.attribute(name.c_str()).value());
  auto [entry, first] = numbered_.try_emplace(parent.internal_object());
  Numbering& numbering = entry->second;
  if (first) {
    // Children added before (copies of other trees) may carry the attribute too.
    bool alone = true;
    for (pugi::xml_node sibling : parent.children()) {
      if (sibling != child && sibling.attribute(name.c_str())) alone = false;
    }
    numbering.attribute = name;
    numbering.ascending = alone && number;
  } else {
    numbering.ascending =
        numbering.ascending && numbering.attribute == name && number && *number > numbering.lastNumber;
  }
  if (numbering.ascending) {
    numbering.last = child;
    numbering.lastNumber = *number;
  }
}

void XMLTree::addAttributeToCurrentNodeWithName(std::string_view name, std::string_view value) {
  const Sig sig = Sig::instance(kClass, "addAttributeToCurrentNodeWithName:stringValue:");
  if (!checkName(sig, "attribute", name)) return;
  const std::string attributeName(name);
  if (current_.type() != pugi::node_element) {
    logAt(sig, "attribute " + attributeName + " not added: the tree has no element to carry it");
    return;
  }
  // An element carries a name once; the first value stays.
  if (current_.attribute(attributeName.c_str())) {
    logAt(sig, "attribute " + attributeName + " not added: " + current_.name() + " already has one");
    return;
  }
  current_.append_attribute(attributeName.c_str()).set_value(textForTree(sig, name, value).c_str());
  forgetNumbering(parentInTree(current_));
}

bool XMLTree::moveTo(pugi::xml_node node) {
  if (node) current_ = node;
  return static_cast<bool>(node);
}

void XMLTree::addChildTree(const XMLTree& other) {
  const Sig sig = Sig::instance(kClass, "addChildTree:");
  if (&other == this) return addChildTree(XMLTree(other));
  if (!hasRootToAdd(other, sig)) return;
  forgetNumbering(current_);
  appendCopy(other.rootElement(), sig);
}

void XMLTree::addSiblingTree(const XMLTree& other) {
  const Sig sig = Sig::instance(kClass, "addSiblingTree:");
  if (&other == this) return addSiblingTree(XMLTree(other));
  if (!hasRootToAdd(other, sig)) return;
  const pugi::xml_node kept = current_;
  if (pugi::xml_node parent = parentInTree(current_)) current_ = parent;
  forgetNumbering(current_);
  appendCopy(other.rootElement(), sig);
  current_ = kept;
}

bool XMLTree::jumpToChildWithName(std::string_view name) {
  pugi::xml_node found = firstElementChild(current_, [&](pugi::xml_node child) { return child.name() == name; });
  return moveTo(found);
}

bool XMLTree::jumpToChildWithStringValue(std::string_view value) {
  pugi::xml_node found = firstElementChild(current_, [&](pugi::xml_node child) { return stringValue(child) == value; });
  return moveTo(found);
}

bool XMLTree::jumpToChildWithNameAndChildStringValue(std::string_view name, std::string_view value) {
  pugi::xml_node found = firstElementChild(
      current_, [&](pugi::xml_node child) { return child.name() == name && stringValue(child) == value; });
  return moveTo(found);
}

bool XMLTree::jumpToChildWithAttributeName(std::string_view attributeName, std::string_view value) {
  const std::string wanted(attributeName);
  if (const auto kept = numbered_.find(current_.internal_object()); kept != numbered_.end()) {
    const Numbering& numbering = kept->second;
    // The only child with that value, so the first one too.
    if (numbering.ascending && numbering.attribute == wanted &&
        numbering.last.attribute(wanted.c_str()).value() == value)
      return moveTo(numbering.last);
  }
  pugi::xml_node found = firstElementChild(current_, [&](pugi::xml_node child) {
    pugi::xml_attribute attribute = child.attribute(wanted.c_str());
    return attribute && attribute.value() == value;
  });
  return moveTo(found);
}

bool XMLTree::jumpToSiblingWithName(std::string_view name) {
  pugi::xml_node found =
      firstElementChild(parentInTree(current_), [&](pugi::xml_node child) { return child.name() == name; });
  return moveTo(found);
}

bool XMLTree::jumpToParent() { return moveTo(parentInTree(current_)); }

bool XMLTree::jumpToRootNode() { return moveTo(rootElement()); }

std::string XMLTree::XMLString() const {
  std::string text(kXmlDeclaration);
  appendXmlText(doc_, text);
  return text;
}

std::string XMLTree::XMLStringWithoutRootNode() const {
  const Sig sig = Sig::instance(kClass, "XMLStringWithoutRootNode");
  const std::string full = XMLString();
  logAt(sig, "Full String " + full);
  const std::string name = rootName();
  std::vector<std::string_view> pieces;
  if (name.empty()) {
    pieces.push_back(full);
  } else {
    const std::string_view rest(full);
    size_t start = 0;
    for (size_t at = rest.find(name); at != std::string_view::npos; at = rest.find(name, start)) {
      pieces.push_back(rest.substr(start, at - start));
      start = at + name.size();
    }
    pieces.push_back(rest.substr(start));
  }
  const size_t count = pieces.size();
  std::string result;
  for (size_t i = 1; count >= 3 && i <= count - 2; ++i) {
    std::string piece(pieces[i]);
    if (i == 1) piece.erase(0, 1);
    if (i == count - 2) {
      piece.erase(piece.size() - std::min<size_t>(2, piece.size()));
      std::printf("\ntrimmedString=%s\n", piece.c_str());
      std::fflush(stdout);
    } else if (pieces[i] == ">") {
      piece = name + ">";
    }
    logAt(sig, "i=" + std::to_string(i) + " component count=" + std::to_string(count));
    result += piece;
  }
  logAt(sig, "xmlWithoutRootTag=" + result);
  return result;
}

void XMLTree::appendOpeningText(std::string& out, bool withDeclaration) const {
  if (withDeclaration) out += kXmlDeclaration;
  const pugi::xml_node root = doc_.document_element();
  if (!root) return;
  appendXmlText(root, out);
  const std::string closing = "</" + std::string(root.name()) + ">";
  if (out.ends_with(closing)) {
    out.resize(out.size() - closing.size());
  } else if (out.ends_with("/>")) {  // no child yet: <name/>
    out.resize(out.size() - 2);
    out += '>';
  }
}

void XMLTree::appendClosingText(std::string& out) const {
  if (const pugi::xml_node root = doc_.document_element()) out.append("</").append(root.name()).append(">");
}

void XMLTree::appendRootText(std::string& out) const { appendXmlText(doc_, out); }

void XMLTree::appendCurrentNodeText(std::string& out) const {
  if (current_) appendXmlText(current_, out);
}

std::string XMLTree::rootName() const { return doc_.document_element().name(); }

pugi::xml_node XMLTree::rootElement() const { return doc_.first_child(); }

}  // namespace brim
