#include "envelope/DirectReports.h"

#include <algorithm>

namespace brim::detail {

void addElement(XMLTree& tree, const ReportItem& element, const std::optional<std::string>& value) {
  if (element.text == ReportText::Cdata) {
    tree.addChildNodeWithCDATAToCurrentNodeWithName(element.name, value);
  } else {
    tree.addChildNodeToCurrentNodeWithName(element.name, value);
  }
}

std::size_t placeOf(std::span<const std::string_view> names, std::string_view name) {
  return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

}  // namespace brim::detail
