#include "inventory/InventoryCategories.h"

#include <vector>

#include "inventory/CategoryShapes.h"
#include "inventory/collectData.h"

namespace brim {
namespace {

// Read off the shapes, which list every category in document order.
const std::vector<InventoryCategory>& all() {
  static const std::vector<InventoryCategory> categories = [] {
    std::vector<InventoryCategory> list;
    for (const CategoryShape& shape : categoryShapes()) list.push_back({shape.name, shape.dataType, shape.collect});
    return list;
  }();
  return categories;
}

// The software document opens with the system's category.
std::size_t hardwareCount() {
  const auto categories = inventoryCategories();
  std::size_t count = 0;
  while (count < categories.size() && categories[count].collect != &collectData::getSystemInfo) ++count;
  return count;
}

}  // namespace

std::span<const InventoryCategory> inventoryCategories() { return all(); }
std::span<const InventoryCategory> hardwareCategories() { return inventoryCategories().first(hardwareCount()); }
std::span<const InventoryCategory> softwareCategories() { return inventoryCategories().subspan(hardwareCount()); }

}  // namespace brim
