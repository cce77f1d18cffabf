#include "envelope/DirectReports.h"

namespace brim {

XMLTree reportTree(const DirectReport& report, std::initializer_list<std::optional<std::string>> values) {
  XMLTree tree(report.root);
  const auto* value = values.begin();
  for (const ReportItem& element : report.elements) {
    if (value == values.end()) break;
    if (element.text == ReportText::Value) {
      tree.addChildNodeWithCDATAToCurrentNodeWithName(element.name, *value);
    } else {
      tree.addChildNodeToCurrentNodeWithName(element.name, *value);
    }
    ++value;
  }
  return tree;
}

XMLTree entryTree(const DirectReport& report, std::initializer_list<std::string_view> values) {
  XMLTree tree(report.entry);
  const auto* value = values.begin();
  for (const ReportItem& attribute : report.entryAttributes) {
    if (value == values.end()) break;
    tree.addAttributeToCurrentNodeWithName(attribute.name, *value);
    ++value;
  }
  return tree;
}

}  // namespace brim
