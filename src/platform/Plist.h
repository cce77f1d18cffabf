#pragma once
// Owning handle and small helpers around libplist nodes.
#include <plist/plist.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace brim {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

// The deepest nesting of arrays and dictionaries a property list may have. The
// library's parser, plist_copy and plist_free recurse once per level, so a deeper
// list is refused, logged, before the library sees it.
inline constexpr int kMaxPlistNesting = 256;

// Reads an XML or binary property list from a file; absent when it cannot be read or parsed.
Plist readPlistFile(const std::string& path);
// The same for a file whose content decides what root does: read only when it
// and every folder above it belong to root and nobody else may change them.
// Refused, with why set to what to fix, when it exists and does not pass; why
// stays empty when it is missing or unreadable.
Plist readTrustedPlistFile(const std::string& path, std::string& why);
// Parses an XML or binary property list held in memory; absent when it does not
// parse, nests too deep, or (binary) shares an array or dictionary between places.
Plist parsePlist(std::string_view data);
// The XML text of a property list.
std::string plistToXml(plist_t node);
// Replaces the file by the XML form in one step (a flushed file beside it, then
// a rename), keeping the old file's owner, group and mode.
bool writePlistFileAtomically(const std::string& path, plist_t node);

// Typed reads of one node; absent when the node is null or of another type.
std::optional<std::string> plistString(plist_t node);
// Integers, and reals truncated towards zero; a NaN, an infinity, or an integer or
// real beyond the signed 64-bit range is absent. Booleans read as 1 or 0.
std::optional<int64_t> plistInteger(plist_t node);
// Booleans, and numbers (true when not zero; a NaN is absent).
std::optional<bool> plistBool(plist_t node);
// Dictionary lookup; null when dict is not a dictionary or lacks the key.
plist_t plistDictItem(plist_t dict, std::string_view key);

// Seconds between the Unix epoch and the property-list epoch (2001-01-01 00:00:00 UTC).
inline constexpr int64_t kPlistEpochOffset = 978307200;

}  // namespace brim
