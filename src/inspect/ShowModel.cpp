// Reading an inventory document into records, the values as a person reads
// them, the machine at a glance and what changed between two documents.
#include <algorithm>
#include <cstdio>
#include <map>
#include <pugixml.hpp>
#include <regex>
#include <set>

#include "envelope/DirectReports.h"
#include "inspect/Show.h"
#include "inspect/ShowTitles.h"
#include "inspect/ShownDate.h"

namespace brim::inspect {
namespace {

constexpr std::string_view kAbsent = "(null)";

// A value with "]]>" in it is written as several CDATA sections.
std::string textOf(pugi::xml_node node) {
  std::string text;
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
  }
  return text;
}

bool hasElements(pugi::xml_node node) {
  return static_cast<bool>(node.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; }));
}

void addField(ShownRecord& record, pugi::xml_node leaf) { record.fields.emplace_back(leaf.name(), textOf(leaf)); }

bool holds(const ShownRecord& record, std::string_view element) {
  return std::ranges::any_of(record.fields, [&](const auto& f) { return f.first == element; });
}

// A "dtl" and, for the chained locations, the "dtl" nested in it, and so on:
// walked in a loop, as a hostile document may nest them without end.
void readRecords(pugi::xml_node dtl, std::vector<ShownRecord>& records) {
  while (dtl) {
    ShownRecord record;
    pugi::xml_node next;
    for (pugi::xml_node child : dtl.children()) {
      if (child.type() != pugi::node_element) continue;
      const std::string_view name = child.name();
      if (name == "fnname") continue;
      if (name == "dtl") {
        next = child;
      } else if (hasElements(child)) {
        ShownRecord sub;
        for (pugi::xml_node leaf : child.children()) {
          if (leaf.type() == pugi::node_element) addField(sub, leaf);
        }
        if (record.subElement.empty()) record.subElement = name;
        record.subs.push_back(std::move(sub));
      } else {
        // A memory group after the first writes its modules into the first
        // group's "dtl": a field seen again starts the next module.
        if (holds(record, name)) {
          records.push_back(std::move(record));
          record = {};
        }
        addField(record, child);
      }
    }
    if (!record.fields.empty() || !record.subs.empty()) records.push_back(std::move(record));
    dtl = next;
  }
}

const ShownRecord* firstRecord(const std::vector<ShownDocument>& documents, std::string_view category) {
  for (const ShownDocument& d : documents) {
    for (const ShownCategory& c : d.categories) {
      if (c.name == category && !c.records.empty()) return &c.records.front();
    }
  }
  return nullptr;
}

std::string rawField(const ShownRecord& record, std::string_view element) {
  for (const auto& [name, text] : record.fields) {
    if (name == element) return text;
  }
  return std::string(kAbsent);
}

std::string field(std::string_view category, const ShownRecord& record, std::string_view element, bool sub = false) {
  return shownValue(category, element, sub, rawField(record, element));
}

// The parts that are there, with sep between them.
std::string joined(const std::vector<std::string>& parts, std::string_view sep = ", ") {
  std::string text;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!text.empty()) text += sep;
    text += part;
  }
  return text;
}

std::string withUnit(const std::string& value, std::string_view unit) {
  return value.empty() ? value : value + std::string(unit);
}

std::string humanBytes(unsigned long long bytes, double base) {
  static constexpr const char* kUnits[] = {"bytes", "KB", "MB", "GB", "TB", "PB", "EB"};
  auto value = static_cast<double>(bytes);
  size_t unit = 0;
  while (value >= base && unit + 1 < std::size(kUnits)) {
    value /= base;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, value >= 100 || unit == 0 ? "%.0f" : value >= 10 ? "%.1f" : "%.2f", value);
  std::string number = text;
  if (number.find('.') != std::string::npos) {
    number.erase(number.find_last_not_of('0') + 1);
    if (number.back() == '.') number.pop_back();
  }
  return number + " " + kUnits[unit];
}

std::optional<unsigned long long> byteCount(const std::string& text) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return {};
  return std::stoull(text);
}

}  // namespace

std::optional<ShownDocument> readInventory(std::string_view document, const std::string& file, std::string& error) {
  pugi::xml_document xml;
  const pugi::xml_parse_result parsed =
      xml.load_buffer(document.data(), document.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    error = std::string("not XML (") + parsed.description() + " at byte " + std::to_string(parsed.offset) + ")";
    return std::nullopt;
  }
  const pugi::xml_node root = xml.document_element();
  if (std::string_view(root.name()) != kInventoryRoot) {
    error = "not an inventory document: its root element is <" + std::string(root.name()) + ">, not <" +
            std::string(kInventoryRoot) + ">";
    return std::nullopt;
  }
  ShownDocument shown;
  shown.file = file;
  shown.root = root.name();
  for (pugi::xml_node child : root.children()) {
    const std::string_view name = child.name();
    if (name == "type") shown.type = textOf(child);
    if (name == "regid") shown.regid = textOf(child);
    if (name == "scandttime") shown.scanned = textOf(child);
    if (name != "fn") continue;
    ShownCategory category;
    category.name = textOf(child.child("fnname"));
    for (pugi::xml_node dtl : child.children("dtl")) readRecords(dtl, category.records);
    shown.categories.push_back(std::move(category));
  }
  return shown;
}

std::optional<std::string> isoDate(const std::string& text) {
  static const std::regex kSlashed(R"((\d{2})/(\d{2})/(\d{4}) (\d{2}):(\d{2}):(\d{2}))");
  static const std::regex kDashed(R"((\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2}))");
  std::smatch m;
  std::tm tm{};
  auto number = [&](int i) { return std::stoi(m[i].str()); };
  if (std::regex_match(text, m, kSlashed)) {
    tm.tm_mon = number(1) - 1;
    tm.tm_mday = number(2);
    tm.tm_year = number(3) - 1900;
  } else if (std::regex_match(text, m, kDashed)) {
    tm.tm_year = number(1) - 1900;
    tm.tm_mon = number(2) - 1;
    tm.tm_mday = number(3);
  } else {
    return std::nullopt;
  }
  tm.tm_hour = number(4);
  tm.tm_min = number(5);
  tm.tm_sec = number(6);
  tm.tm_isdst = -1;
  const std::tm asWritten = tm;
  const std::time_t t = std::mktime(&tm);
  // mktime moves a 31 February on to March; such a date was never written by a clock.
  if (t == -1 || tm.tm_mday != asWritten.tm_mday || tm.tm_mon != asWritten.tm_mon || tm.tm_min != asWritten.tm_min ||
      tm.tm_sec != asWritten.tm_sec) {
    return std::nullopt;
  }
  return shownDate(t);
}

std::string shownValue(std::string_view category, std::string_view element, bool sub, const std::string& text) {
  if (text == kAbsent) return {};
  switch (shownAs(categoryTitle(category), element, sub)) {
    case ShownAs::Bytes:
    case ShownAs::DecimalBytes: {
      const std::optional<unsigned long long> bytes = byteCount(text);
      if (!bytes) return text;
      return humanBytes(*bytes, shownAs(categoryTitle(category), element, sub) == ShownAs::Bytes ? 1024 : 1000);
    }
    case ShownAs::Date:
      return isoDate(text).value_or(text);
    case ShownAs::Text:
      break;
  }
  return text;
}

std::vector<GlanceLine> atAGlance(const std::vector<ShownDocument>& documents) {
  std::vector<GlanceLine> lines;
  auto add = [&](std::string title, std::string value) {
    if (!value.empty()) lines.push_back({std::move(title), std::move(value)});
  };
  const ShownRecord* hw = firstRecord(documents, "hardwareinfo");
  if (hw) {
    const auto f = [&](std::string_view e) { return field("hardwareinfo", *hw, e); };
    const std::string identifier = f("mdlidentifr");
    add("Model", joined({f("mdlname"), identifier.empty() ? "" : "(" + identifier + ")"}, " "));
    add("Serial number", f("srlnum"));
    add("Processor", joined({f("processor"), f("processorspd"), withUnit(f("numofcores"), " cores")}));
  }
  std::string modules;
  for (const ShownDocument& d : documents) {
    for (const ShownCategory& c : d.categories) {
      if (c.name != "memoryinfo") continue;
      for (const ShownRecord& m : c.records) {
        modules = joined({modules, joined({field("memoryinfo", m, "slot") + ":", field("memoryinfo", m, "size"),
                                           field("memoryinfo", m, "type"), field("memoryinfo", m, "speed")},
                                          " ")},
                         "; ");
      }
    }
  }
  const std::string memory = hw ? field("hardwareinfo", *hw, "memory") : "";
  add("Memory", joined({memory, modules.empty() ? "" : (memory.empty() ? modules : "(" + modules + ")")}, " "));
  for (const ShownDocument& d : documents) {
    for (const ShownCategory& c : d.categories) {
      if (c.name == "diskinfo") {
        for (const ShownRecord& disk : c.records) {
          const std::string smart = field(c.name, disk, "smartstatus");
          add("Disk", joined({field(c.name, disk, "model"), field(c.name, disk, "capacity"),
                              field(c.name, disk, "mediumtype"), smart.empty() ? "" : "SMART: " + smart}));
        }
      }
      if (c.name == "networkinfo") {
        for (const ShownRecord& service : c.records) {
          const std::string address = field(c.name, service, "ipv4address");
          if (address.empty()) continue;
          const std::string device = field(c.name, service, "bsddevname");
          const std::string mac = field(c.name, service, "ethmacadd");
          add("Network", joined({field(c.name, service, "dvcname") + (device.empty() ? "" : " (" + device + ")") + ":",
                                 address, mac.empty() ? "" : "MAC " + mac},
                                " "));
        }
      }
    }
  }
  if (const ShownRecord* os = firstRecord(documents, "systeminfo")) {
    add("Operating system", joined({field("systeminfo", *os, "sysver"), field("systeminfo", *os, "kernlver")}));
    add("Computer name", field("systeminfo", *os, "compname"));
  }
  if (const ShownRecord* power = firstRecord(documents, "power")) {
    // The one settings profile reported, and whether it is the source in use.
    const std::string current = field("power", *power, "currpwrsource");
    add("Power", joined({field("power", *power, "pwrtype"), current.empty() ? "" : "current source: " + current}));
  }
  if (const ShownRecord* ups = firstRecord(documents, "hardwareconfig")) {
    add("UPS installed", field("hardwareconfig", *ups, "upsinstalled"));
  }
  return lines;
}

// ---------------------------------------------------------------------------
// Comparing.

namespace {

std::string keyOf(const ShownRecord& record, const std::vector<std::string_view>& identity) {
  std::vector<std::string> values;
  for (std::string_view element : identity) {
    const std::string value = rawField(record, element);
    values.push_back(value == kAbsent ? "" : value);
  }
  if (values.empty() || values.front().empty()) return joined(values, " ");
  std::string rest = joined({values.begin() + 1, values.end()}, " ");
  return rest.empty() ? values.front() : values.front() + " (" + rest + ")";
}

// Records by what tells them apart; a second record with the same key is
// numbered, and one without a key goes by its place.
std::map<std::string, const ShownRecord*> keyed(const std::vector<ShownRecord>& records,
                                                const std::vector<std::string_view>& identity,
                                                std::vector<std::string>& order) {
  std::map<std::string, const ShownRecord*> byKey;
  for (size_t i = 0; i < records.size(); ++i) {
    std::string key = keyOf(records[i], identity);
    if (key.empty()) key = "#" + std::to_string(i + 1);
    for (int n = 2; byKey.contains(key); ++n) key = keyOf(records[i], identity) + " #" + std::to_string(n);
    byKey[key] = &records[i];
    order.push_back(key);
  }
  return byKey;
}

struct Flat {
  std::string element, title, text;
};

std::vector<Flat> flattened(std::string_view category, const ShownRecord& record) {
  const CategoryTitle* titles = categoryTitle(category);
  std::vector<Flat> flat;
  for (const auto& [element, text] : record.fields)
    flat.push_back({element, columnTitle(titles, element, false), text});
  std::vector<std::string> order;
  const std::vector<std::string_view> identity = titles ? titles->subIdentity : std::vector<std::string_view>{};
  const auto subs = keyed(record.subs, identity, order);
  const std::string subTitle(titles && !titles->subTitle.empty() ? titles->subTitle : record.subElement);
  for (const std::string& key : order) {
    const std::string path = record.subElement + "[" + key + "]";
    flat.push_back({path, subTitle, key});
    for (const auto& [element, text] : subs.at(key)->fields) {
      flat.push_back({path + "." + element, subTitle + " " + key + ": " + columnTitle(titles, element, true), text});
    }
  }
  return flat;
}

std::vector<FieldChange> fieldChanges(std::string_view category, const ShownRecord& older, const ShownRecord& newer) {
  const std::vector<Flat> before = flattened(category, older);
  const std::vector<Flat> after = flattened(category, newer);
  std::vector<FieldChange> changes;
  for (const Flat& b : before) {
    const auto a = std::ranges::find(after, b.element, &Flat::element);
    const std::string now = a == after.end() ? "" : a->text;
    if (now != b.text) changes.push_back({b.element, b.title, b.text, now});
  }
  for (const Flat& a : after) {
    if (std::ranges::find(before, a.element, &Flat::element) == before.end())
      changes.push_back({a.element, a.title, "", a.text});
  }
  return changes;
}

const std::vector<ShownRecord>* recordsOf(const ShownDocument& document, const std::string& name) {
  for (const ShownCategory& c : document.categories) {
    if (c.name == name) return &c.records;
  }
  return nullptr;
}

}  // namespace

std::vector<CategoryDiff> diffInventories(const ShownDocument& older, const ShownDocument& newer) {
  std::vector<std::string> names;
  for (const ShownDocument* d : {&older, &newer}) {
    for (const ShownCategory& c : d->categories) {
      if (std::ranges::find(names, c.name) == names.end()) names.push_back(c.name);
    }
  }
  static const std::vector<ShownRecord> kNone;
  std::vector<CategoryDiff> diffs;
  for (const std::string& name : names) {
    const CategoryTitle* titles = categoryTitle(name);
    const std::vector<std::string_view> identity = titles ? titles->identity : std::vector<std::string_view>{};
    const std::vector<ShownRecord>* before = recordsOf(older, name);
    const std::vector<ShownRecord>* after = recordsOf(newer, name);
    std::vector<std::string> beforeOrder, afterOrder;
    const auto was = keyed(before ? *before : kNone, identity, beforeOrder);
    const auto is = keyed(after ? *after : kNone, identity, afterOrder);
    CategoryDiff diff{name, {}, {}, {}};
    for (const std::string& key : beforeOrder) {
      const auto now = is.find(key);
      if (now == is.end()) {
        diff.removed.push_back(key);
        continue;
      }
      std::vector<FieldChange> changes = fieldChanges(name, *was.at(key), *now->second);
      if (!changes.empty()) diff.changed.push_back({key, std::move(changes)});
    }
    for (const std::string& key : afterOrder) {
      if (!was.contains(key)) diff.added.push_back(key);
    }
    if (!diff.added.empty() || !diff.removed.empty() || !diff.changed.empty()) diffs.push_back(std::move(diff));
  }
  return diffs;
}

}  // namespace brim::inspect
