// The wire format's two renderings for readers: the RELAX NG schema and
// the description for the server's developers, both read off documentRules().
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/WireFormat.h"

namespace brim::inspect {
namespace {

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
