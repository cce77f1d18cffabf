#pragma once
// The platform's description form of values, used wherever a list or a
// dictionary is formatted into text:
//   list:  "(\n    a,\n    b\n)"        dictionary: "{\n    key = value;\n}"
//   strings bare when non-empty and only [A-Za-z0-9_$.], otherwise quoted with
//   quote and backslash escaped; numbers in decimal; booleans 1 or 0;
//   dates "yyyy-MM-dd HH:mm:ss +0000"; data "<0011aabb ccdd>"; nested values indent further.
#include <plist/plist.h>

#include <string>
#include <vector>

namespace brim {

std::string describe(plist_t value, int indent = 0);
std::string describe(const std::vector<std::string>& list, int indent = 0);
// A string in the quoting rule above.
std::string describeString(const std::string& text);

}  // namespace brim
