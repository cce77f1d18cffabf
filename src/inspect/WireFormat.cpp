#include "inspect/WireFormat.h"

#include <map>
#include <pugixml.hpp>
#include <regex>
#include <sstream>

#include "envelope/XMLTree.h"
#include "inventory/CategoryShapes.h"
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
// "MM/dd/yyyy HH:mm:ss" and the SMART-status report's "MM-dd-yyyy HH:mm:ss".
const TextRule kSlashDate = matching("[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}");
const TextRule kDashDate = matching("[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}");

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

Node categoryRule(const CategoryShape& shape) {
  using Records = CategoryShape::Records;
  Node fnname = leaf("fnname", fixedText(shape.name));
  std::vector<Node> record = leaves(shape.fields);
  if (!shape.subRecord.empty()) record.push_back(numbered(shape.subRecord, leaves(shape.subFields)));
  Node fn = element("fn", {});
  fn.note = "category " + std::string(shape.name);
  switch (shape.records) {
    case Records::Numbered:
      fn.children = {fnname, numbered("dtl", record)};
      break;
    case Records::Single:
      fn.children = {fnname, element("dtl", record, 0, 1)};
      break;
    case Records::Grouped: {
      Node dtl = element("dtl", {group(Node::Kind::Group, "", record, 0, -1)}, 0, -1);
      dtl.attributes.push_back({"ID", matching("[0-9]+")});
      dtl.note = "numbered within each group; a later group's fields repeat inside the first group's elements";
      fn.children = {fnname, dtl};
      break;
    }
    case Records::Chained: {
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

Node inventoryRule(std::string_view type, std::span<const ConsolidatedAssets::Collector> collectors) {
  Node root = element("wpmacasstinfo",
                      {leaf("type", fixedText(type)), leaf("regid", kInteger), leaf("scandttime", kSlashDate)});
  for (const ConsolidatedAssets::Collector collect : collectors) {
    for (const CategoryShape& shape : categoryShapes()) {
      if (shape.collect == collect) root.children.push_back(categoryRule(shape));
    }
  }
  return root;
}

std::vector<DocumentRule> buildDocumentRules() {
  Node process = element("prs", {}, 0, -1);  // attributes only
  process.note = "one process";
  process.attributes = {{"name", kAnyText}, {"mem", kDecimal}, {"cpu", kDecimal}};
  return {
      {"Hardware inventory", "wpmacasstinfo", inventoryRule("assetdata", ConsolidatedAssets::hardwareCollectors())},
      {"Software inventory", "wpmacasstswinfo", inventoryRule("software", ConsolidatedAssets::softwareCollectors())},
      {"SMART status", "wpmacsmartsts",
       element("wpmacsmartsts", {leaf("regid", kInteger), leaf("scandttime", kDashDate), value("modelname"),
                                 value("modeldesc"), value("bsdname"), value("status")})},
      {"Machine details", "wpmacupdsysdtl",
       element("wpmacupdsysdtl", {leaf("regid", kInteger), value("resourcename"), value("os"), value("osversion"),
                                  value("ip", "IPv4 addresses, one a line; empty when none")})},
      {"Top processes", "wpmacpradatahr",
       element("wpmacpradatahr",
               {leaf("regid", kInteger), leaf("ftime", kSlashDate), leaf("ttime", kSlashDate), process})},
  };
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

// ---------------------------------------------------------------------------
// RELAX NG.

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

class RelaxNg {
 public:
  std::ostringstream out;
  std::vector<const Node*> defines;

  void pad(int depth) { out << std::string(static_cast<size_t>(depth) * 2, ' '); }

  void textRule(const TextRule& rule, int depth) {
    pad(depth);
    if (!rule.fixed.empty()) {
      out << "<value type=\"string\">" << escaped(rule.fixed) << "</value>\n";
    } else if (rule.index) {
      out << "<data type=\"nonNegativeInteger\"/>\n";
    } else if (!rule.pattern.empty()) {
      out << "<data type=\"string\"><param name=\"pattern\">" << escaped(rule.pattern) << "</param></data>\n";
    } else {
      out << "<text/>\n";
    }
  }

  void node(const Node& n, int depth) {
    const char* wrapper = n.min == 0 ? (n.max == 1 ? "optional" : "zeroOrMore") : (n.max == 1 ? nullptr : "oneOrMore");
    if (wrapper) {
      pad(depth);
      out << "<" << wrapper << ">\n";
      ++depth;
    }
    if (n.kind == Node::Kind::Element) {
      pad(depth);
      out << "<element name=\"" << n.name << "\">\n";
      for (const Attribute& a : n.attributes) {
        pad(depth + 1);
        out << "<attribute name=\"" << a.name << "\">\n";
        textRule(a.value, depth + 2);
        pad(depth + 1);
        out << "</attribute>\n";
      }
      if (n.leaf) {
        textRule(n.text, depth + 1);
      } else if (n.children.empty()) {
        pad(depth + 1);
        out << "<empty/>\n";
      } else {
        for (const Node& child : n.children) node(child, depth + 1);
      }
      pad(depth);
      out << "</element>\n";
    } else if (!n.name.empty()) {
      if (n.kind == Node::Kind::Group) defines.push_back(&n);
      pad(depth);
      out << "<ref name=\"" << n.name << "\"/>\n";
    } else {
      pad(depth);
      out << "<group>\n";
      for (const Node& child : n.children) node(child, depth + 1);
      pad(depth);
      out << "</group>\n";
    }
    if (wrapper) {
      pad(depth - 1);
      out << "</" << wrapper << ">\n";
    }
  }
};

// ---------------------------------------------------------------------------
// Markdown.

std::string occurrence(const Node& n) {
  if (n.min == 1 && n.max == 1) return "";
  if (n.min == 0 && n.max == 1) return " (optional)";
  return n.min == 0 ? " (0 or more)" : " (1 or more)";
}

std::string textDescription(const TextRule& rule) {
  if (rule.index) return "0, 1, 2 ... in order";
  if (!rule.fixed.empty()) return "`" + rule.fixed + "`";
  if (!rule.pattern.empty()) return "text of the form `" + rule.pattern + "`";
  return "text";
}

bool plainField(const Node& n) {
  return n.kind == Node::Kind::Element && n.leaf && n.min == 1 && n.max == 1 && n.attributes.empty() &&
         n.text.fixed.empty() && n.text.pattern.empty() && n.note.empty();
}

void markdownNodes(const std::vector<Node>& nodes, int depth, std::ostringstream& out) {
  const std::string indent(static_cast<size_t>(depth) * 2, ' ');
  for (size_t i = 0; i < nodes.size();) {
    // A run of plain text fields reads best as one list.
    size_t end = i;
    while (end < nodes.size() && plainField(nodes[end])) ++end;
    if (end - i >= 3) {
      out << indent << "- " << end - i << " text elements, in this order:";
      for (size_t k = i; k < end; ++k) out << (k == i ? " `" : ", `") << nodes[k].name << "`";
      out << "\n";
      i = end;
      continue;
    }
    const Node& n = nodes[i++];
    if (n.kind == Node::Kind::Again) {
      out << indent << "- the `" << n.name << "` group again" << occurrence(n) << ", nested here\n";
      continue;
    }
    if (n.kind == Node::Kind::Group) {
      out << indent << "- " << (n.name.empty() ? "a group" : "the `" + n.name + "` group") << occurrence(n) << ":\n";
      markdownNodes(n.children, depth + 1, out);
      continue;
    }
    out << indent << "- `" << n.name << "`" << occurrence(n);
    for (const Attribute& a : n.attributes) out << ", attribute `" << a.name << "`: " << textDescription(a.value);
    if (n.leaf) out << ": " << textDescription(n.text);
    if (!n.leaf && n.children.empty()) out << ": no content";
    if (!n.note.empty()) out << " (" << n.note << ")";
    out << "\n";
    if (!n.leaf) markdownNodes(n.children, depth + 1, out);
  }
}

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

std::string relaxNgSchema() {
  RelaxNg rng;
  rng.out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<!-- The documents of brim_asset. Generated by `brim_inspect schema`; do not edit. -->\n"
             "<grammar xmlns=\"http://relaxng.org/ns/structure/1.0\"\n"
             "         datatypeLibrary=\"http://www.w3.org/2001/XMLSchema-datatypes\">\n"
             "  <start>\n    <choice>\n";
  for (const DocumentRule& rule : documentRules()) {
    rng.out << "      <!-- " << rule.title << " -->\n";
    rng.node(rule.root, 3);
  }
  rng.out << "    </choice>\n  </start>\n";
  for (size_t i = 0; i < rng.defines.size(); ++i) {
    const Node& group = *rng.defines[i];
    bool seen = false;
    for (size_t k = 0; k < i; ++k) seen = seen || rng.defines[k]->name == group.name;
    if (seen) continue;
    rng.out << "  <define name=\"" << group.name << "\">\n";
    for (const Node& child : group.children) rng.node(child, 2);
    rng.out << "  </define>\n";
  }
  rng.out << "</grammar>\n";
  return rng.out.str();
}

std::string wireFormatMarkdown() {
  std::ostringstream out;
  out << "# Wire format of the brim_asset documents\n\n"
         "Generated by `brim_inspect wire-format` from the tables the collectors write with; do not edit.\n"
         "The same grammar as a RELAX NG schema: `wire-format.rng` (`brim_inspect schema`);\n"
         "`brim_inspect check FILE` checks a document against it.\n\n"
         "Every document is one line of UTF-8 XML without added white space, opening with\n"
         "`<?xml version=\"1.0\" encoding=\"UTF-8\"?>`. Inventory values are CDATA sections; a value the\n"
         "machine did not report is the text `(null)`. Data-post files are named\n"
         "`<prefix>_<registration id>_<yyyyMMddHHmmss>` and hold the document as it stands; posted\n"
         "bodies may be compressed and encrypted (`brim_inspect decode` turns them back).\n";
  for (const DocumentRule& rule : documentRules()) {
    out << "\n## " << rule.title << "\n\nData-post file prefix `" << rule.fileNamePrefix << "`.\n\n";
    markdownNodes({rule.root}, 0, out);
  }
  return out.str();
}

}  // namespace brim::inspect
