#pragma once
// The walker: reads a category's records from a profiler run through its
// table's fields and writes them as the category's subtree ("fn" with
// "fnname", one "dtl" per record, sub-records inside). Every collector is
// built from these few steps.
#include <plist/plist.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "envelope/XMLTree.h"
#include "inventory/Category.h"
#include "inventory/ProfilerReports.h"
#include "inventory/ProfilerRun.h"
#include "inventory/ProfilerValues.h"
#include "inventory/collectData.h"
#include "platform/CustomLogger.h"
#include "platform/Signature.h"

namespace brim::walker {

// The log signature of a collector operation.
Sig signatureOf(std::string_view operation);

// Adds <name ID="index"/> and moves into it (the first child carrying that ID).
void enterNumbered(XMLTree& tree, std::string_view name, std::size_t index);
// Adds <dtl/> and moves into the first "dtl" child of the current node.
void enterUnnumberedRecord(XMLTree& tree);
// "fn" holding "fnname" with the category's name.
XMLTree categoryTree(std::string_view name);
void logCount(std::string_view operation, std::string_view label, std::size_t count);

template <class R>
void fill(collectData& collector, R& record, const Fields<R>& fields, plist_t item) {
  for (const Field<R>& field : fields) {
    if (field.from.empty()) continue;
    plist_t value = field.from.innerKey().empty() ? valueAt(item, field.from.key())
                                                  : valueAt(item, field.from.key(), field.from.innerKey());
    record.*field.value = collector.convert(value, field.conv);
  }
}

template <class R>
void writeFields(XMLTree& tree, const R& record, const Fields<R>& fields) {
  for (const Field<R>& field : fields) tree.addChildNodeWithCDATAToCurrentNodeWithName(field.tag, record.*field.value);
}

// One "dtl" per record, numbered from 0, holding the record's fields and
// whatever the hook adds after them (its sub-records).
template <class R>
void writeRecords(XMLTree& tree, const std::vector<R>& records, const Fields<R>& fields,
                  const std::function<void(const R&)>& afterFields = nullptr) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    enterNumbered(tree, "dtl", i);
    writeFields(tree, records[i], fields);
    if (afterFields) afterFields(records[i]);
    tree.jumpToParent();
  }
}

// At most one record: a "dtl" without ID.
template <class R>
XMLTree singleRecordTree(std::string_view name, const std::optional<R>& record, const Fields<R>& fields) {
  XMLTree tree = categoryTree(name);
  if (record) {
    enterUnnumberedRecord(tree);
    writeFields(tree, *record, fields);
  }
  return tree;
}

// Sub-records inside the current record, numbered from 0 in each record.
template <class S>
void writeSubRecords(XMLTree& tree, std::string_view name, const std::vector<S>& subRecords, const Fields<S>& fields) {
  for (std::size_t j = 0; j < subRecords.size(); ++j) {
    enterNumbered(tree, name, j);
    writeFields(tree, subRecords[j], fields);
    tree.jumpToParent();
  }
}

// The category's log line, then its report: the profiler run, or the run's
// report of the same data type. Readers let go of it (reset) once walked, so
// that it is not held while their subtree is built.
template <class R>
ProfilerReports::Report startCategory(const collectData& collector, const Category<R>& category) {
  const Sig sig = signatureOf(category.operation);
  logAt(sig, category.operation);
  return collector.profilerReports().open(sig, collector.dataDir, category.dataType, category.fileName);
}

// What a one-level category may do beyond reading one record per item: log
// the item count (when the file held an array), run something before each
// item is read, add elements after each record's fields.
using ItemHook = std::function<void(plist_t)>;
using RecordHook = std::function<void(XMLTree&)>;

template <class R>
XMLTree collectOneLevel(collectData& collector, const Category<R>& category, std::string_view countLabel = {},
                        const ItemHook& beforeItem = nullptr, const RecordHook& afterFields = nullptr) {
  ProfilerReports::Report run = startCategory(collector, category);
  std::vector<R> records;
  run->forEachItem(
      [&](std::size_t count) {
        if (!countLabel.empty()) logCount(category.operation, countLabel, count);
      },
      [&](plist_t item) {
        if (beforeItem) beforeItem(item);
        fill(collector, records.emplace_back(), category.fields, item);
      });
  run.reset();

  XMLTree tree = categoryTree(category.name);
  writeRecords<R>(tree, records, category.fields, [&](const R&) {
    if (afterFields) afterFields(tree);
  });
  return tree;
}

// A one-level category written straight into a document's text, each record
// as soon as it is read: the text collectOneLevel's subtree would have.
template <class R>
void writeOneLevel(collectData& collector, const Category<R>& category, std::string_view countLabel,
                   std::string& documentText) {
  const ProfilerReports::Report run = startCategory(collector, category);
  // The document grows by about the report's size: room for it at once
  // rather than copies of a growing text.
  documentText.reserve(documentText.size() + run->textSize() + run->textSize() / 8);
  const XMLTree head = categoryTree(category.name);
  head.appendOpeningText(documentText, false);
  std::size_t index = 0;
  run->forEachItem([&](std::size_t count) { logCount(category.operation, countLabel, count); },
                   [&](plist_t item) {
                     R record;
                     fill(collector, record, category.fields, item);
                     XMLTree carrier("fn");
                     enterNumbered(carrier, "dtl", index++);
                     writeFields(carrier, record, category.fields);
                     carrier.appendCurrentNodeText(documentText);
                   });
  head.appendClosingText(documentText);
}

// The Bluetooth services and devices: entries of a list under the first
// item, each a dictionary whose first key names the entry and holds its values.
template <class R>
std::vector<R> collectNamedEntries(collectData& collector, const ProfilerRun& run, const Category<R>& category,
                                   std::string_view listKey, RecordValue R::*nameField,
                                   const std::function<void()>& beforeEntry = nullptr) {
  std::vector<R> records;
  const auto items = elementsOf(run.items());
  if (items.empty()) return records;
  for (plist_t entry : elementsOf(valueAt(items.front(), listKey))) {
    if (beforeEntry) beforeEntry();
    R& record = records.emplace_back();
    const std::optional<std::string> name = keyAt(entry, 0);
    record.*nameField = name;
    fill(collector, record, category.fields, name ? valueAt(entry, *name) : nullptr);
  }
  return records;
}

}  // namespace brim::walker
