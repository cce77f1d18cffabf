// Placeholder.
#include "platform/Description.h"

namespace brim {
std::string describe(plist_t, int) { return "(null)"; }
std::string describe(const std::vector<std::string>& list, int) {
  std::string out = "(\n";
  for (size_t i = 0; i < list.size(); ++i) out += "    " + describeString(list[i]) + (i + 1 < list.size() ? ",\n" : "\n");
  return out + ")";
}
std::string describeString(const std::string& text) { return text; }
}  // namespace brim
