#pragma once
// A category is one declaration: the profiler's data type, the temporary file
// it is written to, the category's name in the document, which items of the report become its records and how they
// nest, and the fields of its records and sub-records in the order they are written. The list of every category is
// CategoryTables.h; one walker builds every category from it (CategoryWalker.h). A report shaped its own way is
// read by a named reader in its category's entry (CategoryReaders.h), so the walker keeps to the general cases.
#include <plist/plist.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/RecordValue.h"
#include "platform/Signature.h"

namespace brim {

// Where a field's value sits in a profiler item.
class KeyPath {
 public:
  enum class Kind {
    Key,        // the value under key, or under innerKey of the dictionary under key
    InFirstOf,  // the value under innerKey in the first element of the array under key
    EntryName,  // the name a named entry is filed under
    Never,      // nothing: the profiler has no such value, the document still has its element
    ReadBy,     // whatever the category's named reader finds in the item, unconverted
  };
  using Reader = RecordValue (*)(plist_t item);

  constexpr KeyPath(std::string_view key) : key_(key) {}  // NOLINT(google-explicit-constructor)
  constexpr KeyPath(std::string_view key, std::string_view innerKey) : key_(key), innerKey_(innerKey) {}

  static constexpr KeyPath inFirstOf(std::string_view list, std::string_view key) {
    return {Kind::InFirstOf, list, key};
  }
  static constexpr KeyPath entryName() { return {Kind::EntryName, {}, {}}; }
  static constexpr KeyPath readBy(Reader reader) { return KeyPath(reader); }
  // An element the documents have always carried whose value no profiler
  // report holds; it reads as an absent value, whatever the report says.
  static constexpr KeyPath neverReported() { return {Kind::Never, {}, {}}; }

  constexpr Kind kind() const { return kind_; }
  constexpr std::string_view key() const { return key_; }
  constexpr std::string_view innerKey() const { return innerKey_; }
  constexpr Reader reader() const { return reader_; }

 private:
  constexpr KeyPath(Kind kind, std::string_view key, std::string_view innerKey)
      : kind_(kind), key_(key), innerKey_(innerKey) {}
  explicit constexpr KeyPath(Reader reader) : kind_(Kind::ReadBy), reader_(reader) {}

  Kind kind_ = Kind::Key;
  std::string_view key_;
  std::string_view innerKey_;
  Reader reader_ = nullptr;
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

// The two inventory documents; a category's is the list it is in
// (CategoryTables.h).
enum class Document {
  Hardware,  // the full inventory, "assetdata"
  Software,  // "software"
};

// Which items of a category's report become its records.
class Records {
 public:
  enum class Kind {
    EachItem,      // every item of the report's list, in order
    OneItem,       // the item at index, when the list has it
    EntriesUnder,  // the entries of the list under key in the first item, each a
                   // one-key dictionary filed under the entry's name
  };

  static constexpr Records eachItem() { return {Kind::EachItem, 0, {}}; }
  static constexpr Records item(std::size_t index) { return {Kind::OneItem, index, {}}; }
  static constexpr Records entriesUnder(std::string_view key) { return {Kind::EntriesUnder, 0, key}; }

  constexpr Kind kind() const { return kind_; }
  constexpr std::size_t index() const { return index_; }
  constexpr std::string_view key() const { return key_; }

 private:
  constexpr Records(Kind kind, std::size_t index, std::string_view key) : kind_(kind), index_(index), key_(key) {}

  Kind kind_;
  std::size_t index_;
  std::string_view key_;
};

// How a category's records sit in its "fn" element.
enum class Nesting {
  Numbered,  // "dtl" ID=0,1,... each holding the fields, then the sub-records
  Single,    // the first record only, in one "dtl" without ID
  Grouped,   // each record's sub-records are the "dtl" elements, numbered within
             // the record and opening with the record's fields; a "dtl" is
             // entered by the first one carrying its number, so a later
             // record's sub-records land in the first record's elements
  Chained,   // each record's "fnname" and "dtl" sit inside the previous
             // record's "dtl"
};

// The records listed inside each record, written as numbered elements: read
// from the elements of the list under the record's item, or, where the
// profiler files them elsewhere, from the items the category's named reader
// hands over (it logs under the category's signature).
template <class R, class S>
struct SubRecords {
  using Reader = std::vector<plist_t> (*)(plist_t item, const Sig& sig);

  std::string_view element = {};  // empty: the category has none
  std::vector<S> R::*records = nullptr;
  std::string_view list = {};  // where no reader is named
  Reader reader = nullptr;
  Fields<S> fields = {};
};

// An element written after every record's fields whose value is the
// machine's, not the profiler's.
struct ExtraTag {
  std::string_view tag = {};
  std::string (*value)() = nullptr;
};

// What a category logs beyond its own name, each label followed by a count
// or a description; an empty label logs nothing.
struct CategoryLog {
  std::string_view itemCount = {};   // the number of items, when the report held an array
  std::string_view eachItem = {};    // before each item is read: the item's description
  std::string_view eachEntry = {};   // a mark before each named entry is read
  std::string_view eachRecord = {};  // a mark before each record is written
  std::string_view entryCount = {};  // the number of named entries read, when the report held an array
};

template <class R, class S = R>
struct Category {
  using Record = R;
  using SubRecord = S;

  std::string_view operation = {};  // the collector's name, also its log line
  std::string_view dataType = {};
  std::string_view fileName = {};
  std::string_view name = {};  // the text of "fnname"
  Fields<R> fields;
  Records records = Records::eachItem();
  Nesting nesting = Nesting::Numbered;  // how the records are written, whichever items they are
  SubRecords<R, S> sub = {};
  std::vector<ExtraTag> extra = {};
  // Written into the document record by record as the report is read (a
  // one-level category whose list may run to tens of thousands of items).
  bool streams = false;
  CategoryLog log = {};
};

}  // namespace brim
