#pragma once
// What a person reads instead of the documents' short element names: a title
// for each category, each record's elements and the sub-records, and how a
// value is best shown.
#include <string>
#include <string_view>
#include <vector>

namespace brim::inspect {

enum class ShownAs {
  Text,
  Bytes,         // a number of bytes, shown in KB, MB, GB (powers of 1024)
  DecimalBytes,  // the same for disks, which count in powers of 1000
  Date,          // a date as the profiler gave it ("yyyy-MM-dd HH:mm:ss", local time)
};

struct ColumnTitle {
  std::string_view element;
  std::string_view title;
};

struct CategoryTitle {
  std::string_view name;   // "fnname"
  std::string_view title;  // "Memory modules"
  // The elements that tell one record from another in a later document of the
  // same machine, the one a person knows it by first; empty where a category
  // holds one record.
  std::vector<std::string_view> identity;
  std::vector<ColumnTitle> columns;
  std::string_view subTitle = {};  // the sub-records, where the category has them
  std::vector<std::string_view> subIdentity = {};
  std::vector<ColumnTitle> subColumns = {};
  // How the category's sizes are shown; which elements are sizes or dates the
  // inventory's own conversions say.
  ShownAs sizes = ShownAs::Bytes;
};

// The category of that "fnname"; null for one the tool does not write.
const CategoryTitle* categoryTitle(std::string_view name);
// The title of an element in a category's records (sub: in its sub-records);
// the element name itself where none is known.
std::string columnTitle(const CategoryTitle* category, std::string_view element, bool sub);
// How an element's value is best shown: as its category's sizes where the
// inventory converts it to bytes, as a date where it writes a date.
ShownAs shownAs(const CategoryTitle* category, std::string_view element, bool sub);

}  // namespace brim::inspect
