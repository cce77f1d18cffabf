#include "inventory/CategoryWalker.h"

namespace brim::walker {

Sig signatureOf(std::string_view operation) { return Sig::instance("collectData", operation); }

void enterNumbered(XMLTree& tree, std::string_view name, std::size_t index) {
  const std::string id = std::to_string(index);
  tree.addChildNodeToCurrentNodeWithName(name, std::nullopt, "ID", id);
  tree.jumpToChildWithAttributeName("ID", id);
}

void enterUnnumberedRecord(XMLTree& tree) {
  tree.addChildNodeToCurrentNodeWithName("dtl", std::nullopt);
  tree.jumpToChildWithName("dtl");
}

XMLTree categoryTree(std::string_view name) {
  XMLTree tree("fn");
  tree.addChildNodeToCurrentNodeWithName("fnname", std::string(name));
  return tree;
}

void logCount(std::string_view operation, std::string_view label, std::size_t count) {
  logAt(signatureOf(operation), std::string(label) + std::to_string(count));
}

}  // namespace brim::walker
