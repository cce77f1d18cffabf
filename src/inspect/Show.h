#pragma once
// An inventory document shown for people: the machine at a glance, then each
// category as a table with titles instead of element names; as plain text, as
// JSON for scripts (keyed by the document's element names) or as one page that
// needs nothing but a browser. Two documents of a machine compared category by
// category. Everything shown comes from machines others control, so every
// rendering keeps it text.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brim::inspect {

struct ShownRecord {
  std::vector<std::pair<std::string, std::string>> fields;  // element, text as written
  std::string subElement;                                   // "vol", "dispconn" ... when it has sub-records
  std::vector<ShownRecord> subs;
};

struct ShownCategory {
  std::string name;  // "fnname"
  std::vector<ShownRecord> records;
};

struct ShownDocument {
  std::string file;
  std::string root, type, regid, scanned;  // as written
  std::vector<ShownCategory> categories;
};

// The inventory document's records; absent, with what is wrong in error, for
// a text that is no inventory document.
std::optional<ShownDocument> readInventory(std::string_view document, const std::string& file, std::string& error);

// A value as a person reads it: "" for a value the machine did not report,
// sizes in KB/MB/GB, dates in ISO 8601 local time; the text itself otherwise.
std::string shownValue(std::string_view category, std::string_view element, bool sub, const std::string& text);
// A document's "MM/dd/yyyy HH:mm:ss" or the profiler's "yyyy-MM-dd HH:mm:ss"
// (both local time) in ISO 8601; absent when it is neither.
std::optional<std::string> isoDate(const std::string& text);

struct GlanceLine {
  std::string title;
  std::string value;
};
// Model, processor, memory, disks, OS, network and power, from whichever
// documents hold them.
std::vector<GlanceLine> atAGlance(const std::vector<ShownDocument>& documents);

// "Hardware inventory", "Software inventory" as the wire format calls them.
std::string documentTitle(const ShownDocument& document);

std::string showText(const std::vector<ShownDocument>& documents);
std::string showJson(const std::vector<ShownDocument>& documents);
std::string showHtml(const std::vector<ShownDocument>& documents);
// Writes text to path whole or not at all: into a new file beside it, then
// renamed over it (a link at path is replaced, never followed).
bool writeWhole(const std::string& path, std::string_view text, std::string& error);

struct FieldChange {
  std::string element;  // "capacity", or "vol[disk0s2].capacity" for a sub-record's
  std::string title;
  std::string before, after;  // as written
};
struct RecordChange {
  std::string key;  // what tells the record from the others, as shown
  std::vector<FieldChange> fields;
};
struct CategoryDiff {
  std::string name;
  std::vector<std::string> added, removed;  // keys
  std::vector<RecordChange> changed;
};
// What changed from older to newer, per category; categories without a
// change are left out.
std::vector<CategoryDiff> diffInventories(const ShownDocument& older, const ShownDocument& newer);
std::string diffText(const ShownDocument& older, const ShownDocument& newer, const std::vector<CategoryDiff>& diff);
std::string diffJson(const ShownDocument& older, const ShownDocument& newer, const std::vector<CategoryDiff>& diff);
// The comparison as a page in the style of showHtml's.
std::string diffHtml(const ShownDocument& older, const ShownDocument& newer, const std::vector<CategoryDiff>& diff);
// A changed value as a person reads it, "(none)" where the machine reported none.
std::string shownChange(std::string_view category, const FieldChange& f, const std::string& text);
// The document's scan time in ISO 8601, or as written when it has no known form.
std::string scannedAt(const ShownDocument& d);

}  // namespace brim::inspect
