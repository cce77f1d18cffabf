#pragma once
// A category is a declaration: the profiler's data type, the temporary file it
// is written to, the category's name in the document, and the fields of its
// records in the order they are written. One walker builds every category
// from these tables (CategoryWalker.h).
#include <string_view>
#include <vector>

#include "inventory/RecordValue.h"

namespace brim {

// Where a field's value sits in a profiler item: a key, or a key inside the
// dictionary under another key. An empty path marks a field that the walk
// sets itself (a dictionary key used as a name).
class KeyPath {
 public:
  constexpr KeyPath() = default;
  constexpr KeyPath(std::string_view key) : key_(key) {}  // NOLINT(google-explicit-constructor)
  constexpr KeyPath(std::string_view key, std::string_view innerKey) : key_(key), innerKey_(innerKey) {}

  constexpr bool empty() const { return key_.empty(); }
  constexpr std::string_view key() const { return key_; }
  constexpr std::string_view innerKey() const { return innerKey_; }

 private:
  std::string_view key_;
  std::string_view innerKey_;
};

enum class Conversion {
  AsIs,          // the value's text form
  ByteValue,     // "8 GB" and the like to a number of bytes
  Date,          // "yyyy-MM-dd HH:mm:ss" in the system time zone
  Joined,        // an array's elements joined with ","
  FirstElement,  // an array's first element
  NoBlankPairs,  // the text with every pair of consecutive blanks removed
};

template <class Record>
struct Field {
  std::string_view tag;
  RecordValue Record::*value;
  KeyPath from;
  Conversion conv = Conversion::AsIs;
};

template <class Record>
using Fields = std::vector<Field<Record>>;

template <class Record>
struct Category {
  std::string_view operation;  // the collector's name, also its log line
  std::string_view dataType;
  std::string_view fileName;
  std::string_view name;  // the text of "fnname"
  Fields<Record> fields;
};

}  // namespace brim
