// The page of shown inventories: one file that needs nothing but a browser,
// with or without a network, on screen or on paper.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <random>
#include <sstream>

#include "envelope/Base64.h"
#include "inspect/Show.h"
#include "inspect/ShowTitles.h"
#include "inspect/ShownText.h"

namespace brim::inspect {
namespace {

constexpr std::string_view kAbsent = "(null)";

// Everything in the page comes from a machine someone else controls: the
// nonce keeps any script out but ours even where an escape were missed.
constexpr std::string_view kStyle = R"(
:root { color-scheme: light; --line: #d0d4da; --head: #eef1f5; --muted: #5b6470; }
body { font: 14px/1.4 system-ui, -apple-system, "Segoe UI", sans-serif; margin: 1.5em auto; max-width: 1400px;
       padding: 0 1em; color: #1d232b; }
h1 { font-size: 1.6em; margin: 0 0 .2em; }
h2 { font-size: 1.25em; margin: 1.6em 0 .4em; border-bottom: 2px solid var(--line); padding-bottom: .2em; }
h3 { font-size: 1.05em; margin: 1.4em 0 .3em; }
h4 { font-size: .95em; margin: .8em 0 .3em; color: var(--muted); }
.element, .count, .meta, .shown { color: var(--muted); font-weight: normal; font-size: .85em; }
.element { font-family: ui-monospace, Menlo, monospace; }
nav ul { columns: 3 16em; padding-left: 1.2em; margin: .4em 0; }
.scroll { overflow-x: auto; }
table { border-collapse: collapse; font-size: .9em; }
th, td { border: 1px solid var(--line); padding: .25em .5em; text-align: left; vertical-align: top; }
thead th { background: var(--head); position: sticky; top: 0; }
table.records th[data-element] { cursor: pointer; user-select: none; white-space: nowrap; }
th[aria-sort="ascending"]::after { content: " \25B2"; }
th[aria-sort="descending"]::after { content: " \25BC"; }
tbody tr:nth-child(even) { background: #f8f9fb; }
td.none { color: #a0a7b0; }
td.row { color: var(--muted); text-align: right; }
table.glance th { background: var(--head); width: 11em; }
input.filter { font: inherit; padding: .3em .5em; width: min(30em, 100%); margin: .2em 0 .5em; }
p.empty { color: var(--muted); font-style: italic; }
p.note { border-left: 4px solid #d9822b; padding: .2em .6em; }
tr.added td.change { color: #11632c; font-weight: bold; }
tr.removed td.change { color: #a11d1d; font-weight: bold; }
tr.changed td.change { color: #8a5a00; font-weight: bold; }
td.before { background: #fdeeee; }
td.after { background: #eaf6ec; }
@media print {
  body { font-size: 9pt; max-width: none; margin: 0; }
  nav, input.filter { display: none; }
  .scroll { overflow: visible; }
  table { font-size: 7.5pt; }
  thead { display: table-header-group; }
  thead th { position: static; }
  tr, .glance { break-inside: avoid; }
  h2, h3 { break-after: avoid; }
  th[aria-sort]::after { content: none; }
}
)";

// Sorting by a column's header and filtering a table by a search box; the
// fragment ("#search=applicationinfo:safari&sort=applicationinfo:appname:desc")
// does the same on load, so that a link can point to a view.
constexpr std::string_view kScript = R"(
"use strict";
function sortBy(th) {
  const table = th.closest("table");
  const column = Array.from(th.parentNode.children).indexOf(th);
  const ascending = th.getAttribute("aria-sort") !== "ascending";
  table.querySelectorAll("th[aria-sort]").forEach((h) => h.removeAttribute("aria-sort"));
  th.setAttribute("aria-sort", ascending ? "ascending" : "descending");
  const key = (row) => {
    const cell = row.children[column];
    return cell.dataset.v !== undefined ? cell.dataset.v : cell.textContent;
  };
  const number = /^-?\d+(\.\d+)?$/;
  const tbody = table.tBodies[0];
  const rows = Array.from(tbody.rows);
  rows.sort((a, b) => {
    const x = key(a), y = key(b);
    const order = number.test(x) && number.test(y) ? Number(x) - Number(y)
        : x.localeCompare(y, undefined, {numeric: true, sensitivity: "base"});
    return ascending ? order : -order;
  });
  rows.forEach((row) => tbody.appendChild(row));
}
function filter(input) {
  const section = input.closest("section");
  const words = input.value.toLowerCase().split(/\s+/).filter((w) => w.length > 0);
  let shown = 0;
  const rows = section.querySelectorAll("table.records tbody tr");
  rows.forEach((row) => {
    const text = row.textContent.toLowerCase();
    row.hidden = !words.every((w) => text.includes(w));
    if (!row.hidden) shown++;
  });
  section.querySelector(".shown").textContent = words.length ? shown + " of " + rows.length + " shown" : "";
}
document.querySelectorAll("table.records th[data-element]").forEach((th) => {
  th.tabIndex = 0;
  th.addEventListener("click", () => sortBy(th));
  th.addEventListener("keydown", (e) => { if (e.key === "Enter") sortBy(th); });
});
document.querySelectorAll("input.filter").forEach((input) => {
  input.addEventListener("input", () => filter(input));
});
const view = new URLSearchParams(location.hash.slice(1));
for (const [what, value] of view) {
  const [fnname, ...rest] = value.split(":");
  const section = document.querySelector("section[data-fnname=\"" + CSS.escape(fnname) + "\"]");
  if (!section) continue;
  if (what === "search") {
    const input = section.querySelector("input.filter");
    input.value = rest.join(":");
    input.dispatchEvent(new Event("input"));
  } else if (what === "sort") {
    const th = section.querySelector("table.records th[data-element=\"" + CSS.escape(rest[0] || "") + "\"]");
    if (!th) continue;
    th.click();
    if (rest[1] === "desc") th.click();
  }
}
)";

std::string html(std::string_view text) {
  static constexpr std::pair<char, std::string_view> kReferences[] = {
      {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"}};
  std::string out;
  for (char c : forTerminal(text)) {
    const auto* reference = std::ranges::find(kReferences, c, &std::pair<char, std::string_view>::first);
    if (reference == std::end(kReferences))
      out += c;
    else
      out += reference->second;
  }
  return out;
}

std::string nonce() {
  std::random_device random;
  std::string bytes;
  for (int i = 0; i < 16; ++i) bytes += static_cast<char>(random() & 0xFF);
  return encodeBase64(bytes);
}

std::string recordsWord(size_t n) { return std::to_string(n) + (n == 1 ? " record" : " records"); }

// A value's cell: as a person reads it, sorted by what the document says
// where the two differ (sizes, dates).
void cell(std::ostringstream& out, std::string_view category, const std::string& element, bool sub,
          const std::string& text) {
  const std::string value = shownValue(category, element, sub, text);
  if (value.empty()) {
    out << "<td class=\"none\" data-v=\"\">&mdash;</td>";
  } else if (value != text) {
    out << "<td data-v=\"" << html(text) << "\" title=\"" << html(text) << "\">" << html(value) << "</td>";
  } else {
    out << "<td>" << html(value) << "</td>";
  }
}

std::vector<std::string> columnsOf(const std::vector<const ShownRecord*>& records,
                                   const std::vector<ColumnTitle>* known) {
  std::vector<std::string> elements;
  if (known) {
    for (const ColumnTitle& c : *known) elements.emplace_back(c.element);
  }
  for (const ShownRecord* r : records) {
    for (const auto& [element, text] : r->fields) {
      if (std::ranges::find(elements, element) == elements.end()) elements.push_back(element);
    }
  }
  return elements;
}

std::string fieldText(const ShownRecord& r, const std::string& element) {
  const auto f = std::ranges::find(r.fields, element, &std::pair<std::string, std::string>::first);
  return f == r.fields.end() ? std::string(kAbsent) : f->second;
}

void table(std::ostringstream& out, const ShownCategory& c, const std::vector<const ShownRecord*>& records,
           const std::vector<size_t>& owners, bool sub, const std::string& cssClass) {
  const CategoryTitle* titles = categoryTitle(c.name);
  const std::vector<std::string> elements =
      columnsOf(records, titles ? (sub ? &titles->subColumns : &titles->columns) : nullptr);
  out << "<div class=\"scroll\"><table class=\"" << cssClass << "\"><thead><tr><th data-element=\"#\">#</th>";
  if (sub) out << "<th data-element=\"of\">Of record</th>";
  for (const std::string& e : elements) {
    out << "<th data-element=\"" << html(e) << "\" title=\"" << html(e) << "\">" << html(columnTitle(titles, e, sub))
        << "</th>";
  }
  out << "</tr></thead><tbody>\n";
  for (size_t i = 0; i < records.size(); ++i) {
    out << "<tr><td class=\"row\">" << i + 1 << "</td>";
    if (sub) out << "<td class=\"row\">" << owners[i] << "</td>";
    for (const std::string& e : elements) cell(out, c.name, e, sub, fieldText(*records[i], e));
    out << "</tr>\n";
  }
  out << "</tbody></table></div>\n";
}

void category(std::ostringstream& out, const ShownCategory& c, const std::string& id) {
  const CategoryTitle* titles = categoryTitle(c.name);
  out << "<section class=\"category\" id=\"" << html(id) << "\" data-fnname=\"" << html(c.name) << "\" data-count=\""
      << c.records.size() << "\">\n<h3>" << html(titles ? titles->title : c.name) << " <span class=\"element\">"
      << html(c.name) << "</span> <span class=\"count\">" << recordsWord(c.records.size())
      << "</span> <span class=\"shown\"></span></h3>\n";
  if (c.records.size() > 1) {
    out << "<input type=\"search\" class=\"filter\" placeholder=\"Search " << html(titles ? titles->title : c.name)
        << "\" aria-label=\"Search " << html(titles ? titles->title : c.name) << "\">\n";
  }
  std::vector<const ShownRecord*> records;
  std::vector<const ShownRecord*> subs;
  std::vector<size_t> owners;
  std::string subElement;
  for (size_t i = 0; i < c.records.size(); ++i) {
    records.push_back(&c.records[i]);
    for (const ShownRecord& s : c.records[i].subs) {
      subs.push_back(&s);
      owners.push_back(i + 1);
      if (subElement.empty()) subElement = c.records[i].subElement;
    }
  }
  if (records.empty()) out << "<p class=\"empty\">No records.</p>\n";
  table(out, c, records, {}, false, "records");
  if (!subs.empty()) {
    out << "<h4>" << html(titles && !titles->subTitle.empty() ? titles->subTitle : subElement)
        << " <span class=\"element\">" << html(subElement) << "</span> <span class=\"count\">"
        << recordsWord(subs.size()) << "</span></h4>\n";
    table(out, c, subs, owners, true, "records sub");
  }
  out << "</section>\n";
}

std::string machineName(const std::vector<GlanceLine>& glance) {
  std::string machine;
  for (const GlanceLine& g : glance) {
    if (g.title == "Computer name" || (machine.empty() && g.title == "Model")) machine = g.value;
  }
  return machine;
}

// Up to the page's heading; a page without scriptNonce runs no script at all.
void pageStart(std::ostringstream& out, const std::string& heading, const std::string& scriptNonce) {
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      << "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src data:; "
      << "style-src 'unsafe-inline'; script-src "
      << (scriptNonce.empty() ? std::string("'none'") : "'nonce-" + scriptNonce + "'") << "\">\n"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      << "<link rel=\"icon\" href=\"data:,\">\n<title>" << html(heading) << "</title>\n<style>" << kStyle
      << "</style>\n</head>\n<body>\n<header><h1>" << html(heading) << "</h1>\n";
}

std::string changesWord(const CategoryDiff& c) {
  std::string words;
  for (const auto& [n, word] : {std::pair{c.added.size(), "added"}, std::pair{c.removed.size(), "removed"},
                                std::pair{c.changed.size(), "changed"}}) {
    if (n) words += (words.empty() ? "" : ", ") + std::to_string(n) + " " + word;
  }
  return words;
}

void changeRow(std::ostringstream& out, const char* change, const std::string& key, const std::string& field = "",
               const std::string& before = "", const std::string& after = "") {
  out << "<tr class=\"" << change << "\"><td class=\"change\">" << change << "</td><td>" << html(key) << "</td>";
  if (field.empty()) {
    out << "<td class=\"none\" colspan=\"3\"></td></tr>\n";
    return;
  }
  out << "<td>" << html(field) << "</td><td class=\"before\">" << html(before) << "</td><td class=\"after\">"
      << html(after) << "</td></tr>\n";
}

}  // namespace

std::string showHtml(const std::vector<ShownDocument>& documents) {
  const std::vector<GlanceLine> glance = atAGlance(documents);
  const std::string machine = machineName(glance);
  const std::string scriptNonce = nonce();
  std::ostringstream out;
  pageStart(out, "Inventory" + (machine.empty() ? "" : " of " + machine), scriptNonce);
  for (const ShownDocument& d : documents) {
    out << "<p class=\"meta\">" << html(documentTitle(d)) << ": " << html(d.file) << ", registration id "
        << html(d.regid) << ", scanned " << html(isoDate(d.scanned).value_or(d.scanned)) << "</p>\n";
  }
  out << "</header>\n<section id=\"glance\"><h2>At a glance</h2>\n<table class=\"glance\"><tbody>\n";
  for (const GlanceLine& g : glance)
    out << "<tr><th>" << html(g.title) << "</th><td>" << html(g.value) << "</td></tr>\n";
  out << "</tbody></table></section>\n<nav><h2>Categories</h2><ul>\n";
  auto idOf = [](const ShownCategory& c, size_t document) {
    return "fn-" + c.name + (document ? "-" + std::to_string(document + 1) : "");
  };
  for (size_t i = 0; i < documents.size(); ++i) {
    for (const ShownCategory& c : documents[i].categories) {
      const CategoryTitle* titles = categoryTitle(c.name);
      out << "<li><a href=\"#" << html(idOf(c, i)) << "\">" << html(titles ? titles->title : c.name)
          << "</a> <span class=\"count\">" << c.records.size() << "</span></li>\n";
    }
  }
  out << "</ul></nav>\n";
  for (size_t i = 0; i < documents.size(); ++i) {
    out << "<h2>" << html(documentTitle(documents[i])) << " <span class=\"meta\">" << html(documents[i].file)
        << "</span></h2>\n";
    for (const ShownCategory& c : documents[i].categories) category(out, c, idOf(c, i));
  }
  out << "<script nonce=\"" << scriptNonce << "\">" << kScript << "</script>\n</body>\n</html>\n";
  return out.str();
}

std::string diffHtml(const ShownDocument& older, const ShownDocument& newer, const std::vector<CategoryDiff>& diff) {
  const std::string machine = machineName(atAGlance({newer}));
  std::ostringstream out;
  std::string kind = documentTitle(newer);
  if (!kind.empty()) kind[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(kind[0])));
  pageStart(out, "Changes in the " + kind + (machine.empty() ? "" : " of " + machine), "");
  for (const auto& [label, d] : {std::pair{"From", &older}, std::pair{"To", &newer}}) {
    out << "<p class=\"meta\">" << label << " " << html(d->file) << ", registration id " << html(d->regid)
        << ", scanned " << html(scannedAt(*d)) << "</p>\n";
  }
  if (older.regid != newer.regid) {
    out << "<p class=\"note\">The registration ids differ (" << html(older.regid) << ", " << html(newer.regid)
        << "): these may be two machines.</p>\n";
  }
  out << "</header>\n";
  if (diff.empty()) out << "<p class=\"empty\">No change.</p>\n";
  for (const CategoryDiff& c : diff) {
    const CategoryTitle* titles = categoryTitle(c.name);
    out << "<section class=\"category\" id=\"fn-" << html(c.name) << "\" data-fnname=\"" << html(c.name)
        << "\" data-added=\"" << c.added.size() << "\" data-removed=\"" << c.removed.size() << "\" data-changed=\""
        << c.changed.size() << "\">\n<h3>" << html(titles ? titles->title : c.name) << " <span class=\"element\">"
        << html(c.name) << "</span> <span class=\"count\">" << changesWord(c) << "</span></h3>\n"
        << "<div class=\"scroll\"><table class=\"changes\"><thead><tr><th>Change</th><th>Record</th><th>Field</th>"
        << "<th>Before</th><th>After</th></tr></thead><tbody>\n";
    for (const std::string& key : c.added) changeRow(out, "added", key);
    for (const std::string& key : c.removed) changeRow(out, "removed", key);
    for (const RecordChange& r : c.changed) {
      for (const FieldChange& f : r.fields)
        changeRow(out, "changed", r.key, f.title, shownChange(c.name, f, f.before), shownChange(c.name, f, f.after));
    }
    out << "</tbody></table></div>\n</section>\n";
  }
  out << "</body>\n</html>\n";
  return out.str();
}

}  // namespace brim::inspect

namespace brim::inspect {

bool writeWhole(const std::string& path, std::string_view text, std::string& error) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  std::string temporary = folder + "/.brim_inspect_show.XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    error = path + ": not written: cannot make a file in " + folder + " (" + std::strerror(errno) + ")";
    return false;
  }
  // Read like any file its owner makes here.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  bool written = ::fchmod(fd, 0666 & ~mask) == 0;
  for (size_t done = 0; written && done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<size_t>(n);
  }
  written = written && ::fsync(fd) == 0;
  const int writeError = errno;
  written = ::close(fd) == 0 && written;
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    error = path + ": not written (" + std::strerror(written ? errno : writeError) + ")";
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace brim::inspect
