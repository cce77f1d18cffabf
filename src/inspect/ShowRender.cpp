// The plain-text and JSON renderings of shown inventories and of their
// comparison.
#include <algorithm>
#include <sstream>

#include "inspect/Show.h"
#include "inspect/ShowTitles.h"
#include "inspect/ShownText.h"
#include "inspect/WireFormat.h"

namespace brim::inspect {
namespace {

constexpr std::string_view kAbsent = "(null)";
// Wider columns are cut: a path of 200 characters would push the rest off the screen.
constexpr size_t kMaxColumn = 40;
// Fewer records read better one below the other, each field on its line.
constexpr size_t kTableFrom = 4;

// Characters, not bytes, so that names in any script line up.
size_t width(std::string_view text) {
  return static_cast<size_t>(std::ranges::count_if(text, [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string cut(const std::string& text, size_t columns) {
  if (width(text) <= columns) return text + std::string(columns - width(text), ' ');
  std::string out;
  size_t shown = 0;
  for (char c : text) {
    if ((c & 0xC0) != 0x80 && ++shown > columns - 1) break;
    out += c;
  }
  return out + "~";
}

std::string categoryHeading(const ShownCategory& c) {
  const CategoryTitle* titles = categoryTitle(c.name);
  const std::string count = std::to_string(c.records.size()) + (c.records.size() == 1 ? " record" : " records");
  return (titles ? std::string(titles->title) + " (" + c.name + ")" : c.name) + ": " + count;
}

using Lines = std::vector<std::pair<std::string, std::string>>;

void labelled(std::ostringstream& out, const Lines& lines, const std::string& indent) {
  size_t labelWidth = 0;
  for (const auto& line : lines) labelWidth = std::max(labelWidth, width(line.first));
  for (const auto& [label, value] : lines) {
    out << indent << label << std::string(labelWidth - width(label) + 2, ' ') << value << "\n";
  }
}

Lines shownFields(std::string_view category, const ShownRecord& record, bool sub) {
  Lines lines;
  for (const auto& [element, text] : record.fields) {
    const std::string value = shownValue(category, element, sub, text);
    if (!value.empty()) lines.emplace_back(columnTitle(categoryTitle(category), element, sub), forTerminal(value));
  }
  return lines;
}

void recordBlocks(std::ostringstream& out, const ShownCategory& c) {
  const CategoryTitle* titles = categoryTitle(c.name);
  for (size_t i = 0; i < c.records.size(); ++i) {
    const ShownRecord& r = c.records[i];
    if (c.records.size() > 1) out << "  #" << i + 1 << "\n";
    const std::string indent = c.records.size() > 1 ? "    " : "  ";
    const Lines fields = shownFields(c.name, r, false);
    if (fields.empty()) out << indent << "(nothing reported)\n";
    labelled(out, fields, indent);
    for (size_t k = 0; k < r.subs.size(); ++k) {
      out << indent << (titles && !titles->subTitle.empty() ? std::string(titles->subTitle) : r.subElement) << " #"
          << k + 1 << "\n";
      labelled(out, shownFields(c.name, r.subs[k], true), indent + "  ");
    }
  }
}

// Only the columns some record fills.
void recordTable(std::ostringstream& out, const ShownCategory& c) {
  const CategoryTitle* titles = categoryTitle(c.name);
  std::vector<std::string> elements;
  for (const ShownRecord& r : c.records) {
    for (const auto& [element, text] : r.fields) {
      if (std::ranges::find(elements, element) == elements.end()) elements.push_back(element);
    }
  }
  std::erase_if(elements, [&](const std::string& e) {
    return std::ranges::none_of(c.records, [&](const ShownRecord& r) {
      return std::ranges::any_of(r.fields, [&](const auto& f) { return f.first == e && f.second != kAbsent; });
    });
  });
  std::vector<std::vector<std::string>> rows(1);
  for (const std::string& e : elements) rows[0].push_back(columnTitle(titles, e, false));
  for (const ShownRecord& r : c.records) {
    std::vector<std::string> row;
    for (const std::string& e : elements) {
      const auto f = std::ranges::find(r.fields, e, &std::pair<std::string, std::string>::first);
      row.push_back(f == r.fields.end() ? "" : forTerminal(shownValue(c.name, e, false, f->second)));
    }
    rows.push_back(std::move(row));
  }
  std::vector<size_t> widths(elements.size(), 0);
  for (const auto& row : rows) {
    for (size_t k = 0; k < row.size(); ++k) widths[k] = std::min(kMaxColumn, std::max(widths[k], width(row[k])));
  }
  for (const auto& row : rows) {
    std::string line = " ";
    for (size_t k = 0; k < row.size(); ++k) line += " " + cut(row[k], widths[k]);
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << "\n";
  }
}

std::string jsonValue(const std::string& text) { return text == kAbsent ? "null" : jsonString(text); }

void jsonRecord(std::ostringstream& out, const ShownRecord& r, const std::string& indent) {
  out << "{";
  const char* sep = "";
  for (const auto& [element, text] : r.fields) {
    out << sep << "\n" << indent << "  " << jsonString(element) << ": " << jsonValue(text);
    sep = ",";
  }
  if (!r.subs.empty()) {
    out << sep << "\n" << indent << "  " << jsonString(r.subElement) << ": [";
    for (size_t k = 0; k < r.subs.size(); ++k) {
      out << (k ? ", " : "");
      jsonRecord(out, r.subs[k], indent + "  ");
    }
    out << "]";
  }
  out << "\n" << indent << "}";
}

}  // namespace

std::string shownChange(std::string_view category, const FieldChange& f, const std::string& text) {
  // A sub-record's own line holds its key, which is shown as it is.
  const size_t dot = f.element.rfind('.');
  const bool sub = f.element.find('[') != std::string::npos;
  if (sub && dot == std::string::npos) return text.empty() ? "(none)" : text;
  const std::string element = dot == std::string::npos ? f.element : f.element.substr(dot + 1);
  const std::string value = shownValue(category, element, sub, text);
  return value.empty() ? "(none)" : value;
}

std::string scannedAt(const ShownDocument& d) {
  return isoDate(d.scanned).value_or(d.scanned.empty() ? "(no scan time)" : d.scanned);
}

std::string documentTitle(const ShownDocument& d) {
  for (const DocumentRule& rule : documentRules()) {
    if (rule.root.name == d.root && !rule.root.children.empty() && rule.root.children.front().text.fixed == d.type)
      return rule.title;
  }
  return d.root + " document of type " + (d.type.empty() ? "(none)" : d.type);
}

std::string showText(const std::vector<ShownDocument>& documents) {
  std::ostringstream out;
  const std::vector<GlanceLine> glance = atAGlance(documents);
  if (!glance.empty()) {
    out << "At a glance\n";
    Lines lines;
    for (const GlanceLine& g : glance) lines.emplace_back(g.title, forTerminal(g.value));
    labelled(out, lines, "  ");
  }
  for (const ShownDocument& d : documents) {
    out << "\n"
        << documentTitle(d) << ": " << forTerminal(d.file) << "\n  registration id "
        << forTerminal(d.regid.empty() ? "(none)" : d.regid) << ", scanned " << forTerminal(scannedAt(d)) << "\n";
    for (const ShownCategory& c : d.categories) {
      out << "\n" << forTerminal(categoryHeading(c)) << "\n";
      const bool subs = std::ranges::any_of(c.records, [](const ShownRecord& r) { return !r.subs.empty(); });
      if (c.records.size() >= kTableFrom && !subs)
        recordTable(out, c);
      else
        recordBlocks(out, c);
    }
  }
  return out.str();
}

std::string showJson(const std::vector<ShownDocument>& documents) {
  std::ostringstream out;
  out << "{\n  \"glance\": [";
  const std::vector<GlanceLine> glance = atAGlance(documents);
  for (size_t i = 0; i < glance.size(); ++i) {
    out << (i ? "," : "") << "\n    {\"title\": " << jsonString(glance[i].title)
        << ", \"value\": " << jsonString(glance[i].value) << "}";
  }
  out << (glance.empty() ? "" : "\n  ") << "],\n  \"documents\": [";
  for (size_t i = 0; i < documents.size(); ++i) {
    const ShownDocument& d = documents[i];
    out << (i ? "," : "") << "\n    {\n      \"file\": " << jsonString(d.file)
        << ",\n      \"title\": " << jsonString(documentTitle(d)) << ",\n      \"root\": " << jsonString(d.root)
        << ",\n      \"type\": " << jsonString(d.type) << ",\n      \"regid\": " << jsonString(d.regid)
        << ",\n      \"scandttime\": " << jsonString(d.scanned)
        << ",\n      \"scanned\": " << (isoDate(d.scanned) ? jsonString(*isoDate(d.scanned)) : "null")
        << ",\n      \"fn\": [";
    for (size_t k = 0; k < d.categories.size(); ++k) {
      const ShownCategory& c = d.categories[k];
      const CategoryTitle* titles = categoryTitle(c.name);
      out << (k ? "," : "") << "\n        {\"fnname\": " << jsonString(c.name)
          << ", \"title\": " << (titles ? jsonString(titles->title) : "null") << ", \"count\": " << c.records.size()
          << ", \"dtl\": [";
      for (size_t r = 0; r < c.records.size(); ++r) {
        out << (r ? ", " : "");
        jsonRecord(out, c.records[r], "          ");
      }
      out << "]}";
    }
    out << (d.categories.empty() ? "" : "\n      ") << "]\n    }";
  }
  out << (documents.empty() ? "" : "\n  ") << "]\n}\n";
  return out.str();
}

std::string diffText(const ShownDocument& older, const ShownDocument& newer, const std::vector<CategoryDiff>& diff) {
  std::ostringstream out;
  out << "From " << forTerminal(older.file) << " (scanned " << forTerminal(scannedAt(older)) << ")\n  to "
      << forTerminal(newer.file) << " (scanned " << forTerminal(scannedAt(newer)) << ")\n";
  if (older.regid != newer.regid) {
    out << "Note: the registration ids differ (" << forTerminal(older.regid) << ", " << forTerminal(newer.regid)
        << "): these may be two machines.\n";
  }
  if (diff.empty()) out << "No change.\n";
  for (const CategoryDiff& c : diff) {
    const CategoryTitle* titles = categoryTitle(c.name);
    out << "\n" << (titles ? std::string(titles->title) + " (" + c.name + ")" : forTerminal(c.name)) << "\n";
    for (const std::string& key : c.added) out << "  added    " << forTerminal(key) << "\n";
    for (const std::string& key : c.removed) out << "  removed  " << forTerminal(key) << "\n";
    for (const RecordChange& r : c.changed) {
      out << "  changed  " << forTerminal(r.key) << "\n";
      for (const FieldChange& f : r.fields) {
        out << "    " << forTerminal(f.title) << ": " << forTerminal(shownChange(c.name, f, f.before)) << " -> "
            << forTerminal(shownChange(c.name, f, f.after)) << "\n";
      }
    }
  }
  return out.str();
}

std::string diffJson(const ShownDocument& older, const ShownDocument& newer, const std::vector<CategoryDiff>& diff) {
  std::ostringstream out;
  out << "{\n  \"old\": {\"file\": " << jsonString(older.file) << ", \"regid\": " << jsonString(older.regid)
      << ", \"scandttime\": " << jsonString(older.scanned) << "},\n  \"new\": {\"file\": " << jsonString(newer.file)
      << ", \"regid\": " << jsonString(newer.regid) << ", \"scandttime\": " << jsonString(newer.scanned)
      << "},\n  \"fn\": [";
  auto keys = [&](const std::vector<std::string>& list) {
    std::string text = "[";
    for (size_t i = 0; i < list.size(); ++i) text += (i ? ", " : "") + jsonString(list[i]);
    return text + "]";
  };
  for (size_t i = 0; i < diff.size(); ++i) {
    const CategoryDiff& c = diff[i];
    out << (i ? "," : "") << "\n    {\"fnname\": " << jsonString(c.name) << ", \"added\": " << keys(c.added)
        << ", \"removed\": " << keys(c.removed) << ", \"changed\": [";
    for (size_t r = 0; r < c.changed.size(); ++r) {
      out << (r ? "," : "") << "\n      {\"key\": " << jsonString(c.changed[r].key) << ", \"fields\": [";
      for (size_t f = 0; f < c.changed[r].fields.size(); ++f) {
        const FieldChange& change = c.changed[r].fields[f];
        out << (f ? ", " : "") << "{\"element\": " << jsonString(change.element)
            << ", \"old\": " << jsonValue(change.before) << ", \"new\": " << jsonValue(change.after) << "}";
      }
      out << "]}";
    }
    out << (c.changed.empty() ? "" : "\n    ") << "]}";
  }
  out << (diff.empty() ? "" : "\n  ") << "]\n}\n";
  return out.str();
}

}  // namespace brim::inspect
