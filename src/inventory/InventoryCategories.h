#pragma once
// The categories of the two inventory documents in document order, as the
// two category lists declare them (CategoryTables.h): what the orchestrator
// builds the documents from, and what their readers check them against and
// describe them by.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "envelope/XMLTree.h"
#include "inventory/Category.h"

namespace brim {

class collectData;

struct CategoryView {
  std::string_view name;  // the text of "fnname"
  std::string_view dataType;
  std::string_view fileName;
  Nesting nesting;
  // The elements of a record in document order (for grouped records, those of
  // each "dtl"), then the sub-records' element and theirs.
  std::vector<std::string_view> fields;
  std::string_view subRecord;
  std::vector<std::string_view> subFields;

  // The category's subtree, and the same text appended to a document's.
  XMLTree (*collect)(collectData&);
  void (*append)(collectData&, std::string&);
  // How the value of one of the elements above was converted (sub: one of the
  // sub-records'); as is for an element the category does not write.
  Conversion (*conversionOf)(std::string_view element, bool sub);
};

// Both documents' categories, the full inventory's first.
std::span<const CategoryView> inventoryCategories();
// One document's categories.
std::span<const CategoryView> categoriesOf(Document document);
// The category of that "fnname"; null when there is none.
const CategoryView* categoryNamed(std::string_view name);

}  // namespace brim
