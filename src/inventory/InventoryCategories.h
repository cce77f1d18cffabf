#pragma once
// The categories of the two inventory documents, in document order, as the
// category shapes list them (CategoryShapes.cpp, the one place that does): what
// the orchestrator builds the documents from and their readers check them against.
#include <span>
#include <string_view>

#include "envelope/XMLTree.h"

namespace brim {

class collectData;

struct InventoryCategory {
  std::string_view name;      // the text of "fnname"
  std::string_view dataType;  // what the profiler is asked for
  XMLTree (collectData::*collect)();
};

// The full ("assetdata") document's categories.
std::span<const InventoryCategory> hardwareCategories();
// The software document's categories.
std::span<const InventoryCategory> softwareCategories();
// Both, the hardware ones first.
std::span<const InventoryCategory> inventoryCategories();

}  // namespace brim
