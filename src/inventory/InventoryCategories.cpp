#include "inventory/InventoryCategories.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "inventory/CategoryTables.h"
#include "inventory/CategoryWalker.h"

namespace brim {
namespace {

template <class R>
std::vector<std::string_view> tagsOf(const Fields<R>& fields) {
  std::vector<std::string_view> tags;
  for (const Field<R>& field : fields) tags.push_back(field.tag);
  return tags;
}

template <std::size_t I>
InventoryCategory viewOf() {
  const auto& category = std::get<I>(tables::kCategories);
  InventoryCategory view{
      category.name,
      category.dataType,
      category.fileName,
      category.document,
      category.nesting,
      tagsOf(category.fields),
      category.sub.element,
      tagsOf(category.sub.fields),
      [](collectData& collector) { return walker::collect(collector, std::get<I>(tables::kCategories)); },
      [](collectData& collector, std::string& text) {
        walker::append(collector, std::get<I>(tables::kCategories), text);
      }};
  for (const ExtraTag& extra : category.extra) view.fields.push_back(extra.tag);
  if (category.nesting == Nesting::Grouped) {
    view.fields.insert(view.fields.end(), view.subFields.begin(), view.subFields.end());
    view.subRecord = {};
    view.subFields.clear();
  }
  return view;
}

template <std::size_t... I>
std::vector<InventoryCategory> viewsOf(std::index_sequence<I...>) {
  return {viewOf<I>()...};
}

const std::vector<InventoryCategory>& all() {
  static const std::vector<InventoryCategory> categories =
      viewsOf(std::make_index_sequence<std::tuple_size_v<std::remove_const_t<decltype(tables::kCategories)>>>());
  return categories;
}

}  // namespace

std::span<const InventoryCategory> inventoryCategories() { return all(); }

std::span<const InventoryCategory> categoriesOf(Document document) {
  const auto categories = inventoryCategories();
  // The list holds each document's categories together.
  const auto first = std::find_if(categories.begin(), categories.end(),
                                  [document](const InventoryCategory& c) { return c.document == document; });
  const auto last =
      std::find_if(first, categories.end(), [document](const InventoryCategory& c) { return c.document != document; });
  return {first, last};
}

const InventoryCategory* categoryNamed(std::string_view name) {
  for (const InventoryCategory& category : inventoryCategories()) {
    if (category.name == name) return &category;
  }
  return nullptr;
}

}  // namespace brim
