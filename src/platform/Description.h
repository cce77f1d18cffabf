#pragma once
// The platform's description form of values, used wherever a value is
// formatted into text with "%@":
//   list:  "(\n    a,\n    b\n)"        dictionary: "{\n    key = value;\n}"
// A collection at nesting level L opens with 4*L spaces, its elements stand on
// lines of their own indented by 4*(L+1), and it closes on a line indented by
// 4*L. A nested collection keeps its own opening indentation, hence the
// platform's familiar "key =     (" and "        (" lines. An empty list is
// therefore "(\n)" and an empty dictionary "{\n}".
// Dictionaries are listed by key, in byte order.
// Inside a collection a string follows the quoting rule of describeString;
// numbers, booleans, dates and data keep their own form.
// On their own: numbers in decimal (signed 64-bit), reals in the shortest text
// that reads back, booleans 1 or 0, dates "yyyy-MM-dd HH:mm:ss +0000" (UTC),
// data "<0011aabb ccdd>", strings unchanged, an absent value "(null)".
#include <plist/plist.h>

#include <string>
#include <vector>

namespace brim {

// indent is the nesting level of value; 0 for a value formatted on its own.
std::string describe(plist_t value, int indent = 0);
std::string describe(const std::vector<std::string>& list, int indent = 0);
// A string as a collection shows it: bare when it is not empty and holds only
// ASCII letters, digits, "_", "$" and "."; otherwise in double quotes, with quote, backslash,
// line feed, tab and carriage return escaped as \" \\ \n \t \r and every other
// character outside printable ASCII as \Uxxxx (UTF-16 units, lower-case hex).
std::string describeString(const std::string& text);

}  // namespace brim
