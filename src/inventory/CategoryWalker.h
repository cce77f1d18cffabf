#pragma once
// The walker: reads a category's records from its profiler report through
// its declaration (Category.h) and writes them as the category's subtree
// ("fn" with "fnname", the records nested as the declaration says). Every
// category is built by these few steps.
#include <plist/plist.h>

#include <cstddef>
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
#include "platform/Description.h"
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

// The record's fields read from item; a named entry's name is entryName.
template <class R>
void fill(collectData& collector, R& record, const Fields<R>& fields, plist_t item,
          const std::optional<std::string>& entryName = std::nullopt) {
  for (const Field<R>& field : fields) {
    const KeyPath& from = field.from;
    switch (from.kind()) {
      case KeyPath::Kind::Key:
        record.*field.value = collector.convert(
            from.innerKey().empty() ? valueAt(item, from.key()) : valueAt(item, from.key(), from.innerKey()),
            field.conv);
        break;
      case KeyPath::Kind::InFirstOf: {
        const std::vector<plist_t> list = elementsOf(valueAt(item, from.key()));
        record.*field.value =
            collector.convert(list.empty() ? nullptr : valueAt(list.front(), from.innerKey()), field.conv);
        break;
      }
      case KeyPath::Kind::EntryName:
        record.*field.value = entryName;
        break;
      case KeyPath::Kind::Never:
        record.*field.value = collector.convert(nullptr, field.conv);
        break;
      case KeyPath::Kind::ReadBy:
        record.*field.value = from.reader()(item);
        break;
    }
  }
}

template <class R>
void writeFields(XMLTree& tree, const R& record, const Fields<R>& fields) {
  for (const Field<R>& field : fields) tree.addChildNodeWithCDATAToCurrentNodeWithName(field.tag, record.*field.value);
}

// The category's log line, then its report: the profiler run, or the run's
// report of the same data type. Readers let go of it (reset) once walked, so
// that it is not held while their subtree is built.
template <class R, class S>
ProfilerReports::Report startCategory(const collectData& collector, const Category<R, S>& category) {
  const Sig sig = signatureOf(category.operation);
  logAt(sig, category.operation);
  return collector.profilerReports().open(sig, collector.dataDir, category.dataType, category.fileName);
}

// One record from an item: its sub-records first, then its own fields.
template <class R, class S>
void readRecord(collectData& collector, const Category<R, S>& category, R& record, plist_t item,
                const std::optional<std::string>& entryName = std::nullopt) {
  const SubRecords<R, S>& sub = category.sub;
  if (!sub.element.empty()) {
    const std::vector<plist_t> elements =
        sub.reader ? sub.reader(item, signatureOf(category.operation)) : elementsOf(valueAt(item, sub.list));
    for (plist_t element : elements) fill(collector, (record.*sub.records).emplace_back(), sub.fields, element);
  }
  fill(collector, record, category.fields, item, entryName);
}

// The category's records, in the report's order.
template <class R, class S>
std::vector<R> readRecords(collectData& collector, const Category<R, S>& category, const ProfilerRun& run) {
  const Sig sig = signatureOf(category.operation);
  std::vector<R> records;
  const Records& which = category.records;
  if (which.kind() == Records::Kind::OneItem) {
    const std::vector<plist_t> items = elementsOf(run.items());
    if (which.index() < items.size()) readRecord(collector, category, records.emplace_back(), items[which.index()]);
  } else if (which.kind() == Records::Kind::EntriesUnder) {
    // Each entry is a one-key dictionary: the entry's name, holding its values.
    const std::vector<plist_t> items = elementsOf(run.items());
    if (!items.empty()) {
      for (plist_t entry : elementsOf(valueAt(items.front(), which.key()))) {
        if (!category.log.eachEntry.empty()) logAt(sig, category.log.eachEntry);
        const std::optional<std::string> name = keyAt(entry, 0);
        readRecord(collector, category, records.emplace_back(), name ? valueAt(entry, *name) : nullptr, name);
      }
    }
    if (!category.log.entryCount.empty() && run.arrayNotEmpty()) {
      logCount(category.operation, category.log.entryCount, records.size());
    }
  } else {
    run.forEachItem(
        [&](std::size_t count) {
          if (!category.log.itemCount.empty()) logCount(category.operation, category.log.itemCount, count);
        },
        [&](plist_t item) {
          if (!category.log.eachItem.empty()) logAt(sig, std::string(category.log.eachItem) + describe(item));
          readRecord(collector, category, records.emplace_back(), item);
        });
  }
  return records;
}

// A record's elements at the current node: its fields, the machine's own
// elements, its sub-records.
template <class R, class S>
void writeRecord(XMLTree& tree, const Category<R, S>& category, const R& record) {
  writeFields(tree, record, category.fields);
  for (const ExtraTag& extra : category.extra)
    tree.addChildNodeWithCDATAToCurrentNodeWithName(extra.tag, extra.value());
  const SubRecords<R, S>& sub = category.sub;
  if (sub.element.empty()) return;
  const std::vector<S>& subRecords = record.*sub.records;
  for (std::size_t j = 0; j < subRecords.size(); ++j) {
    enterNumbered(tree, sub.element, j);
    writeFields(tree, subRecords[j], sub.fields);
    tree.jumpToParent();
  }
}

template <class R, class S>
XMLTree writeRecords(const Category<R, S>& category, const std::vector<R>& records) {
  const Sig sig = signatureOf(category.operation);
  XMLTree tree = category.nesting == Nesting::Chained ? XMLTree("fn") : categoryTree(category.name);
  switch (category.nesting) {
    case Nesting::Numbered:
      for (std::size_t i = 0; i < records.size(); ++i) {
        if (!category.log.eachRecord.empty()) logAt(sig, category.log.eachRecord);
        enterNumbered(tree, "dtl", i);
        writeRecord(tree, category, records[i]);
        tree.jumpToParent();
      }
      break;
    case Nesting::Single:
      if (!records.empty()) {
        enterUnnumberedRecord(tree);
        writeRecord(tree, category, records.front());
      }
      break;
    case Nesting::Grouped:
      for (const R& record : records) {
        const std::vector<S>& subRecords = record.*category.sub.records;
        for (std::size_t j = 0; j < subRecords.size(); ++j) {
          enterNumbered(tree, category.sub.element, j);
          writeFields(tree, record, category.fields);
          writeFields(tree, subRecords[j], category.sub.fields);
          tree.jumpToParent();
        }
      }
      break;
    case Nesting::Chained:
      // Every record writes its own "fnname" and "dtl" at the current node
      // and stays inside that "dtl".
      for (const R& record : records) {
        tree.addChildNodeToCurrentNodeWithName("fnname", std::string(category.name));
        enterUnnumberedRecord(tree);
        writeRecord(tree, category, record);
      }
      break;
  }
  return tree;
}

// The category's subtree.
template <class R, class S>
XMLTree collect(collectData& collector, const Category<R, S>& category) {
  ProfilerReports::Report run = startCategory(collector, category);
  const std::vector<R> records = readRecords(collector, category, *run);
  run.reset();
  return writeRecords(category, records);
}

// The category written straight into a document's text: a streaming one
// record by record as its report is read, with the text its subtree would
// have; any other as its subtree's text.
template <class R, class S>
void append(collectData& collector, const Category<R, S>& category, std::string& documentText) {
  if (!category.streams) {
    collect(collector, category).appendRootText(documentText);
    return;
  }
  const ProfilerReports::Report run = startCategory(collector, category);
  // The document grows by about the report's size: room for it at once
  // rather than copies of a growing text.
  documentText.reserve(documentText.size() + run->textSize() + run->textSize() / 8);
  const XMLTree head = categoryTree(category.name);
  head.appendOpeningText(documentText, false);
  std::size_t index = 0;
  run->forEachItem(
      [&](std::size_t count) {
        if (!category.log.itemCount.empty()) logCount(category.operation, category.log.itemCount, count);
      },
      [&](plist_t item) {
        R record;
        readRecord(collector, category, record, item);
        XMLTree carrier("fn");
        enterNumbered(carrier, "dtl", index++);
        writeRecord(carrier, category, record);
        carrier.appendCurrentNodeText(documentText);
      });
  head.appendClosingText(documentText);
}

}  // namespace brim::walker
