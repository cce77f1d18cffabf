#include "inventory/InventoryCategories.h"

#include "inventory/CategoryTables.h"
#include "inventory/CategoryViews.h"

namespace brim {
namespace {

// Both lists in one, the full inventory's first, so that every category can
// be walked and found in one place.
struct Views {
  std::vector<CategoryView> all;
  std::size_t hardware = 0;
};

const Views& lists() {
  static const Views kViews = [] {
    Views made{viewsOf<tables::kHardwareCategories>(), 0};
    made.hardware = made.all.size();
    for (CategoryView& view : viewsOf<tables::kSoftwareCategories>()) made.all.push_back(std::move(view));
    return made;
  }();
  return kViews;
}

}  // namespace

std::span<const CategoryView> inventoryCategories() { return lists().all; }

std::span<const CategoryView> categoriesOf(Document document) {
  const std::span<const CategoryView> all = inventoryCategories();
  return document == Document::Hardware ? all.first(lists().hardware) : all.subspan(lists().hardware);
}

const CategoryView* categoryNamed(std::string_view name) {
  for (const CategoryView& category : inventoryCategories()) {
    if (category.name == name) return &category;
  }
  return nullptr;
}

}  // namespace brim
