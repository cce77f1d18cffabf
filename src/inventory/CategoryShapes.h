#pragma once
// What each category writes, read off the collectors' own tables: the element
// names of its records and sub-records in document order. The documents'
// readers (brim_inspect's checker and the schema it prints) take the wire
// format from here, so it cannot drift from what the collectors write.
#include <string_view>
#include <vector>

#include "envelope/XMLTree.h"

namespace brim {

class collectData;

struct CategoryShape {
  enum class Records {
    Numbered,  // "dtl" ID=0,1,... each holding the fields, then the sub-records
    Single,    // at most one "dtl", without ID
    Grouped,   // memory: "dtl" numbered within each group; a later group's
               // fields repeat inside the first group's elements
    Chained,   // locations: each further location's "fnname" and "dtl" sit
               // inside the previous location's "dtl"
  };
  XMLTree (collectData::*collect)();
  std::string_view name;      // the text of "fnname"
  std::string_view dataType;  // what the profiler is asked for
  Records records;
  std::vector<std::string_view> fields;
  std::string_view subRecord;  // the sub-records' element; empty when there are none
  std::vector<std::string_view> subFields;
};

// Every category operation of collectData, in the order of the documents:
// the full inventory's, then the software inventory's (InventoryCategories.h).
const std::vector<CategoryShape>& categoryShapes();

}  // namespace brim
