#include "inspect/WireFormat.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <pugixml.hpp>
#include <regex>
#include <sstream>

#include "envelope/DirectReports.h"
#include "envelope/XMLTree.h"
#include "inventory/InventoryCategories.h"
#include "reports/ConsolidatedAssets.h"

namespace brim::inspect {
namespace {

TextRule fixedText(std::string_view text) {
  TextRule rule;
  rule.fixed = std::string(text);
  return rule;
}

TextRule matching(std::string pattern) {
  TextRule rule;
  rule.pattern = std::move(pattern);
  return rule;
}

const TextRule kAnyText;
const TextRule kInteger = matching("-?[0-9]+");
const TextRule kDecimal = matching("[0-9]+(\\.[0-9]+)?");
const TextRule kIndex = [] {
  TextRule rule;
  rule.index = true;
  return rule;
}();
// A time written with a date format: each run of pattern letters is that many digits.
TextRule dateOf(std::string_view format) {
  std::string pattern;
  for (size_t i = 0; i < format.size();) {
    if (!std::isalpha(static_cast<unsigned char>(format[i]))) {
      pattern += format[i++];
      continue;
    }
    const size_t end = std::min(format.find_first_not_of(format[i], i), format.size());
    pattern += "[0-9]{" + std::to_string(end - i) + "}";
    i = end;
  }
  return matching(pattern);
}
const TextRule kSlashDate = dateOf(kReportTimeFormat);

Node leaf(std::string_view name, TextRule text = kAnyText, std::string note = {}) {
  Node node;
  node.name = std::string(name);
  node.text = std::move(text);
  node.note = std::move(note);
  return node;
}

Node element(std::string_view name, std::vector<Node> children, int min = 1, int max = 1) {
  Node node;
  node.name = std::string(name);
  node.min = min;
  node.max = max;
  node.leaf = false;
  node.children = std::move(children);
  return node;
}

Node group(Node::Kind kind, std::string name, std::vector<Node> children, int min, int max) {
  Node node = element("", std::move(children), min, max);
  node.kind = kind;
  node.name = std::move(name);
  return node;
}

Node numbered(std::string_view name, std::vector<Node> children) {
  Node node = element(name, std::move(children), 0, -1);
  node.attributes.push_back({"ID", kIndex});
  return node;
}

// A value written as a CDATA section: free text, taken as it stands.
Node value(std::string_view name, std::string note = {}) {
  Node node = leaf(name, kAnyText, std::move(note));
  node.cdata = true;
  return node;
}

std::vector<Node> leaves(const std::vector<std::string_view>& names) {
  std::vector<Node> nodes;
  nodes.reserve(names.size());
  for (std::string_view name : names) nodes.push_back(value(name));
  return nodes;
}

Node categoryRule(const CategoryView& shape) {
  Node fnname = leaf("fnname", fixedText(shape.name));
  std::vector<Node> record = leaves(shape.fields);
  if (!shape.subRecord.empty()) record.push_back(numbered(shape.subRecord, leaves(shape.subFields)));
  Node fn = element("fn", {});
  fn.note = "category " + std::string(shape.name);
  switch (shape.nesting) {
    case Nesting::Numbered:
      fn.children = {fnname, numbered("dtl", record)};
      break;
    case Nesting::Single:
      fn.children = {fnname, element("dtl", record, 0, 1)};
      break;
    case Nesting::Grouped: {
      Node dtl = element("dtl", {group(Node::Kind::Group, "", record, 0, -1)}, 0, -1);
      dtl.attributes.push_back({"ID", matching("[0-9]+")});
      dtl.note = "numbered within each group; a later group's fields repeat inside the first group's elements";
      fn.children = {fnname, dtl};
      break;
    }
    case Nesting::Chained: {
      const std::string chain(shape.name);
      record.push_back(group(Node::Kind::Again, chain, {}, 0, 1));
      Node dtl = element("dtl", record);
      dtl.note = "a further location's fnname and dtl follow inside this dtl";
      fn.children = {group(Node::Kind::Group, chain, {fnname, dtl}, 0, 1)};
      break;
    }
  }
  return fn;
}

Node inventoryRule(std::string_view type, std::span<const CategoryView> categories) {
  Node root =
      element(kInventoryRoot, {leaf("type", fixedText(type)), leaf("regid", kInteger), leaf("scandttime", kSlashDate)});
  for (const CategoryView& category : categories) root.children.push_back(categoryRule(category));
  return root;
}

TextRule textRule(const ReportItem& item) {
  switch (item.text) {
    case ReportText::Integer:
      return kInteger;
    case ReportText::Decimal:
      return kDecimal;
    case ReportText::Date:
      return dateOf(item.format);
    case ReportText::Text:
    case ReportText::Cdata:
      break;
  }
  return kAnyText;
}

Node reportRule(const DirectReport& report) {
  std::vector<Node> children;
  for (const ReportItem& item : report.elements) {
    const std::string note(item.note);
    children.push_back(item.text == ReportText::Cdata ? value(item.name, note) : leaf(item.name, textRule(item), note));
  }
  if (!report.entry.empty()) {
    Node entry = element(report.entry, {}, 0, -1);  // attributes only
    entry.note = report.entryNote;
    for (const ReportItem& attribute : report.entryAttributes) {
      entry.attributes.push_back({std::string(attribute.name), textRule(attribute)});
    }
    children.push_back(std::move(entry));
  }
  return element(report.root, std::move(children));
}

std::vector<DocumentRule> buildDocumentRules() {
  std::vector<DocumentRule> rules = {
      {"Hardware inventory", std::string(kHardwareInventoryPrefix),
       inventoryRule(kHardwareInventoryType, categoriesOf(Document::Hardware))},
      {"Software inventory", std::string(kSoftwareInventoryPrefix),
       inventoryRule(kSoftwareInventoryType, categoriesOf(Document::Software))},
  };
  for (const DirectReport* report : kDirectReports) {
    rules.push_back({std::string(report->title), std::string(report->dataPostPrefix()), reportRule(*report)});
  }
  return rules;
}

// ---------------------------------------------------------------------------
// Checking.

std::string quoted(std::string_view text) {
  constexpr size_t kShown = 60;
  std::string shown(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  return "\"" + shown + "\"";
}

class Checker {
 public:
  std::optional<std::string> error;
  bool restoreEmptyValues = false;

  bool element(const Node& rule, pugi::xml_node node, const std::string& path, int index) {
    for (pugi::xml_attribute attribute : node.attributes()) {
      bool declared = false;
      for (const Attribute& a : rule.attributes) declared = declared || a.name == attribute.name();
      if (!declared) return fail(path, "unexpected attribute " + quoted(attribute.name()));
    }
    for (const Attribute& a : rule.attributes) {
      pugi::xml_attribute attribute = node.attribute(a.name.c_str());
      if (!attribute) return fail(path, "attribute " + quoted(a.name) + " missing");
      if (!text(a.value, attribute.value(), path + "/@" + a.name, index)) return false;
    }
    std::string content;
    Children kids{path, {}, {}};
    std::map<std::string_view, int> seen;
    for (pugi::xml_node child : node.children()) {
      if (child.type() == pugi::node_element) {
        kids.nodes.push_back(child);
        kids.ordinals.push_back(++seen[child.name()]);
      }
      if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) content += child.value();
    }
    if (rule.leaf) {
      if (restoreEmptyValues && rule.cdata && !node.first_child()) node.append_child(pugi::node_cdata);
      if (!kids.nodes.empty()) {
        return fail(path, "holds element " + quoted(kids.nodes.front().name()) + " where text belongs");
      }
      return text(rule.text, content, path, index);
    }
    if (content.find_first_not_of(" \t\r\n") != std::string::npos) {
      return fail(path, "holds text " + quoted(content) + " where only elements belong");
    }
    size_t pos = 0;
    if (!sequence(rule.children, kids, pos)) return false;
    if (pos < kids.nodes.size()) return fail(kids.path(pos), "unexpected element " + quoted(kids.nodes[pos].name()));
    return true;
  }

 private:
  // An element's child elements, each with its number among the children of its name.
  struct Children {
    std::string parentPath;
    std::vector<pugi::xml_node> nodes;
    std::vector<int> ordinals;
    std::string path(size_t i) const {
      return parentPath + "/" + nodes[i].name() + "[" + std::to_string(ordinals[i]) + "]";
    }
  };

  bool fail(const std::string& path, const std::string& what) {
    if (!error) error = path + ": " + what;
    return false;
  }

  bool text(const TextRule& rule, std::string_view value, const std::string& path, int index) {
    // Numbers and dates are short; the regular expression engine need not see a long text.
    constexpr size_t kLongestPatternText = 64;
    if (!rule.pattern.empty() && value.size() > kLongestPatternText) {
      return fail(path, "holds " + std::to_string(value.size()) + " characters where " + rule.pattern + " belongs");
    }
    if (rule.index && value != std::to_string(index)) {
      return fail(path, "is " + quoted(value) + ", expected \"" + std::to_string(index) + "\"");
    }
    if (!rule.fixed.empty() && value != rule.fixed) {
      return fail(path, "holds " + quoted(value) + ", expected \"" + rule.fixed + "\"");
    }
    if (rule.fixed.empty() && !rule.pattern.empty() &&
        !std::regex_match(value.begin(), value.end(), std::regex(rule.pattern))) {
      return fail(path, "holds " + quoted(value) + ", which is not of the form " + rule.pattern);
    }
    return true;
  }

  const Node& resolved(const Node& rule) const {
    if (rule.kind != Node::Kind::Again) return rule;
    for (const Node* group : groups_) {
      if (group->name == rule.name) return *group;
    }
    return rule;
  }

  // The element name a step must start with.
  std::string_view firstName(const Node& rule) const {
    const Node& r = resolved(rule);
    if (r.kind == Node::Kind::Element) return r.name;
    return r.children.empty() ? std::string_view() : firstName(r.children.front());
  }

  bool step(const Node& rule, const Children& kids, size_t& pos) {
    const Node& r = resolved(rule);
    const std::string_view first = firstName(rule);
    int count = 0;
    while ((rule.max < 0 || count < rule.max) && pos < kids.nodes.size() && first == kids.nodes[pos].name()) {
      if (r.kind == Node::Kind::Element) {
        if (!element(r, kids.nodes[pos], kids.path(pos), count)) return false;
        ++pos;
      } else {
        // The locations chain nests once per location; no machine has this many.
        constexpr size_t kDeepestChain = 200;
        if (groups_.size() >= kDeepestChain) {
          return fail(kids.parentPath, "nested deeper than any document the tool writes");
        }
        groups_.push_back(&r);
        const bool matched = sequence(r.children, kids, pos);
        groups_.pop_back();
        if (!matched) return false;
      }
      ++count;
    }
    if (count >= rule.min) return true;
    if (pos < kids.nodes.size()) {
      return fail(kids.path(pos),
                  "found " + quoted(kids.nodes[pos].name()) + " where \"" + std::string(first) + "\" belongs");
    }
    return fail(kids.parentPath, "\"" + std::string(first) + "\" missing at the end");
  }

  bool sequence(const std::vector<Node>& rules, const Children& kids, size_t& pos) {
    for (const Node& rule : rules) {
      if (!step(rule, kids, pos)) return false;
    }
    return true;
  }

  std::vector<const Node*> groups_;
};

}  // namespace

const std::vector<DocumentRule>& documentRules() {
  static const std::vector<DocumentRule> rules = buildDocumentRules();
  return rules;
}

namespace {

// The document kind of a root element; null when no document has such a root.
const DocumentRule* ruleFor(pugi::xml_node root) {
  const DocumentRule* chosen = nullptr;
  for (const DocumentRule& rule : documentRules()) {
    if (rule.root.name != root.name()) continue;
    // The two inventories share their root; their "type" tells them apart.
    const std::string& type = rule.root.children.front().text.fixed;
    if (!chosen || (!type.empty() && type == root.first_child().child_value())) chosen = &rule;
  }
  return chosen;
}

std::optional<std::string> walk(pugi::xml_document& document, std::string_view text, bool restoreEmptyValues) {
  const pugi::xml_parse_result parsed =
      document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    return "not an XML document: " + std::string(parsed.description()) + " at byte " + std::to_string(parsed.offset);
  }
  const pugi::xml_node root = document.document_element();
  const DocumentRule* chosen = ruleFor(root);
  const std::string path = std::string("/") + root.name();
  if (!chosen) {
    std::string known;
    for (const DocumentRule& rule : documentRules()) {
      if (known.find(rule.root.name) == std::string::npos) known += (known.empty() ? "" : ", ") + rule.root.name;
    }
    return path + ": not a document of the wire format (its root is one of " + known + ")";
  }
  Checker checker;
  checker.restoreEmptyValues = restoreEmptyValues;
  if (checker.element(chosen->root, root, path, 0)) return std::nullopt;
  return checker.error;
}

}  // namespace

std::optional<std::string> checkDocument(std::string_view text) {
  pugi::xml_document document;
  return walk(document, text, false);
}

std::optional<std::string> checkDataPostName(std::string_view fileName, std::string_view text) {
  static const std::regex kDataPostName("(wpmac[a-z]+)_(-?[0-9]+)_[0-9]{14}");
  const std::string name(fileName.substr(fileName.rfind('/') + 1));
  std::smatch parts;
  if (!std::regex_match(name, parts, kDataPostName)) return std::nullopt;
  pugi::xml_document document;
  if (!document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8)) return std::nullopt;
  const pugi::xml_node root = document.document_element();
  const DocumentRule* rule = ruleFor(root);
  if (!rule) return std::nullopt;
  if (rule->fileNamePrefix != parts[1].str()) {
    return "file name: " + parts[1].str() + "_ holds the " + rule->title + " document, whose files are named " +
           rule->fileNamePrefix + "_";
  }
  const std::string regId = root.child("regid").child_value();
  if (regId != parts[2].str()) {
    return "file name: registration id " + parts[2].str() + ", the document's is " + regId;
  }
  return std::nullopt;
}

std::string withEmptyValuesRestored(std::string_view text) {
  pugi::xml_document document;
  if (walk(document, text, true)) return XMLTree::initWithXMLString(std::string(text)).XMLString();
  std::ostringstream out;
  document.document_element().print(out, "", pugi::format_raw);
  return XMLTree::initWithXMLString(out.str()).XMLString();
}

}  // namespace brim::inspect
