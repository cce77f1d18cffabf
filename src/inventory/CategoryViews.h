#pragma once
// The type-erased form of every category of a list (CategoryTables.h), in
// the list's order. The list is a template argument so that the functions a
// view holds can reach its category without capturing anything.
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "inventory/CategoryWalker.h"
#include "inventory/InventoryCategories.h"

namespace brim {

namespace viewing {

template <class R>
std::vector<std::string_view> tagsOf(const Fields<R>& fields) {
  std::vector<std::string_view> tags;
  tags.reserve(fields.size());
  for (const Field<R>& field : fields) tags.push_back(field.tag);
  return tags;
}

template <class R>
const Field<R>* fieldTagged(const Fields<R>& fields, std::string_view tag) {
  for (const Field<R>& field : fields)
    if (field.tag == tag) return &field;
  return nullptr;
}

// A grouped category writes its sub-records' elements among its records'.
template <class R, class S>
Conversion conversionOf(const Category<R, S>& category, std::string_view element, bool sub) {
  if (const Field<R>* field = sub ? nullptr : fieldTagged(category.fields, element)) return field->conv;
  if (sub || category.nesting == Nesting::Grouped) {
    if (const Field<S>* field = fieldTagged(category.sub.fields, element)) return field->conv;
  }
  return Conversion::AsIs;
}

template <const auto& List, std::size_t I>
CategoryView viewOf() {
  const auto& category = std::get<I>(List);
  CategoryView view{
      category.name,
      category.dataType,
      category.fileName,
      category.nesting,
      tagsOf(category.fields),
      category.sub.element,
      tagsOf(category.sub.fields),
      [](collectData& collector) { return walker::collect(collector, std::get<I>(List)); },
      [](collectData& collector, std::string& text) { walker::append(collector, std::get<I>(List), text); },
      [](std::string_view element, bool sub) { return conversionOf(std::get<I>(List), element, sub); }};
  for (const ExtraTag& extra : category.extra) view.fields.push_back(extra.tag);
  if (category.nesting == Nesting::Grouped) {
    view.fields.insert(view.fields.end(), view.subFields.begin(), view.subFields.end());
    view.subRecord = {};
    view.subFields.clear();
  }
  return view;
}

}  // namespace viewing

template <const auto& List>
std::vector<CategoryView> viewsOf() {
  using Tuple = std::remove_cvref_t<decltype(List)>;
  return []<std::size_t... I>(std::index_sequence<I...>) {
    return std::vector<CategoryView>{viewing::viewOf<List, I>()...};
  }
  (std::make_index_sequence<std::tuple_size_v<Tuple>>());
}

}  // namespace brim
