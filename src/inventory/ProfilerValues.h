#pragma once
// Reading the property list that system_profiler writes: lookups that let a
// missing container propagate as absent, and the text forms the documents use.
#include <plist/plist.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/RecordValue.h"

namespace brim {

// A string unchanged, an integer in decimal, a real in the shortest decimal
// that reads back, a boolean as 1 or 0, anything else in the description form;
// absent for a missing value.
RecordValue textOf(plist_t value);

// The elements of an array; none when value is missing or not an array.
std::vector<plist_t> elementsOf(plist_t value);

// The key at position index of a dictionary, in the file's order; absent when
// value is not a dictionary or has too few keys.
std::optional<std::string> keyAt(plist_t value, std::size_t index);

// The elements' texts joined with "," (no blank); empty for a missing, empty
// or non-array value.
std::string joinedWithComma(plist_t value);

// The text of an array's first element; absent for a missing, empty or
// non-array value.
RecordValue firstElementText(plist_t value);

// Nested dictionary lookups; a missing container on the way yields null.
plist_t valueAt(plist_t dict, std::string_view key);
plist_t valueAt(plist_t dict, std::string_view key, std::string_view innerKey);

}  // namespace brim
