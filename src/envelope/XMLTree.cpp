// Placeholder.
#include "envelope/XMLTree.h"

namespace brim {

XMLTree::XMLTree() { current_ = doc_.append_child(pugi::node_cdata); }
XMLTree::XMLTree(std::string_view rootName) { current_ = doc_.append_child(std::string(rootName).c_str()); }
XMLTree XMLTree::initWithXMLString(const std::optional<std::string>&) { return XMLTree(); }
XMLTree::XMLTree(const XMLTree& other) { *this = other; }
XMLTree& XMLTree::operator=(const XMLTree& other) {
  if (this != &other) {
    doc_.reset(other.doc_);
    current_ = doc_.first_child();
  }
  return *this;
}
void XMLTree::addChildNodeToCurrentNodeWithName(std::string_view name, const std::optional<std::string>& value) {
  auto child = current_.append_child(std::string(name).c_str());
  if (value) child.text().set(value->c_str());
}
void XMLTree::addChildNodeWithCDATAToCurrentNodeWithName(std::string_view name,
                                                         const std::optional<std::string>& value) {
  auto child = current_.append_child(std::string(name).c_str());
  child.append_child(pugi::node_cdata).set_value(value ? value->c_str() : "(null)");
}
void XMLTree::addChildNodeToCurrentNodeWithName(std::string_view name, const std::optional<std::string>& value,
                                                std::string_view attributeName, std::string_view attributeValue) {
  auto child = current_.append_child(std::string(name).c_str());
  if (value) child.text().set(value->c_str());
  child.append_attribute(std::string(attributeName).c_str()).set_value(std::string(attributeValue).c_str());
}
void XMLTree::addAttributeToCurrentNodeWithName(std::string_view name, std::string_view value) {
  current_.append_attribute(std::string(name).c_str()).set_value(std::string(value).c_str());
}
void XMLTree::addChildTree(const XMLTree& other) { current_.append_copy(other.rootElement()); }
void XMLTree::addSiblingTree(const XMLTree& other) { addChildTree(other); }
bool XMLTree::jumpToChildWithName(std::string_view) { return false; }
bool XMLTree::jumpToChildWithStringValue(std::string_view) { return false; }
bool XMLTree::jumpToChildWithNameAndChildStringValue(std::string_view, std::string_view) { return false; }
bool XMLTree::jumpToChildWithAttributeName(std::string_view, std::string_view) { return false; }
bool XMLTree::jumpToSiblingWithName(std::string_view) { return false; }
bool XMLTree::jumpToParent() { return false; }
bool XMLTree::jumpToRootNode() { return false; }
std::string XMLTree::XMLString() const { return {}; }
std::string XMLTree::XMLStringWithoutRootNode() const { return {}; }
std::string XMLTree::rootName() const { return doc_.document_element().name(); }
pugi::xml_node XMLTree::rootElement() const { return doc_.first_child(); }

}  // namespace brim
