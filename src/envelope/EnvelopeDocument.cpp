#include "envelope/EnvelopeDocument.h"

#include <algorithm>
#include <cstring>

#include "envelope/Base64.h"
#include "envelope/RawDeflate.h"

namespace brim {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kBase64LineLength = 76;
constexpr size_t kMaxIndentDepth = 50;
// Far above any report the tool builds; keeps a hostile stream from taking all memory.
constexpr size_t kInflateLimit = 64u << 20;

constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_trim_pcdata | pugi::parse_fragment;

bool isText(pugi::xml_node node) { return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata; }

// The element after `node` in document order, staying inside `top`'s subtree.
pugi::xml_node nextElement(pugi::xml_node node, pugi::xml_node top) {
  if (auto child = node.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; })) return child;
  for (; node && node != top; node = node.parent()) {
    for (auto sibling = node.next_sibling(); sibling; sibling = sibling.next_sibling())
      if (sibling.type() == pugi::node_element) return sibling;
  }
  return {};
}

// One text per element, ahead of its child elements: the pieces of text
// around and between children read as one, CDATA when any piece was.
void gatherText(pugi::xml_node element) {
  std::string text;
  bool cdata = false;
  for (auto child = element.first_child(); child;) {
    const auto next = child.next_sibling();
    if (child.type() != pugi::node_element) {
      if (isText(child)) {
        text += child.value();
        cdata = cdata || child.type() == pugi::node_cdata;
      }
      element.remove_child(child);
    }
    child = next;
  }
  if (!text.empty()) element.prepend_child(cdata ? pugi::node_cdata : pugi::node_pcdata).set_value(text.c_str());
}

std::string replaceAll(std::string text, std::string_view what, std::string_view with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

void appendEscaped(std::string& out, std::string_view text, bool attribute) {
  for (size_t i = 0; i < text.size(); ++i) {
    switch (text[i]) {
      case '&': {
        // A character reference written by hand into an attribute survives as such.
        const bool reference = attribute && i + 2 < text.size() && text[i + 1] == '#' &&
                               (text[i + 2] == 'x' || (text[i + 2] >= '0' && text[i + 2] <= '9'));
        out += reference ? "&" : "&amp;";
        break;
      }
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += text[i];
    }
  }
}

void appendCdata(std::string& out, std::string text) {
  // The section could not hold its own terminator: the markers go, all of
  // them, until none is left.
  while (text.find("]]>") != std::string::npos) text = replaceAll(replaceAll(text, "<![CDATA[", ""), "]]>", "");
  out += "<![CDATA[";
  out += text;
  out += "]]>";
}

void appendIndent(std::string& out, size_t depth) { out.append(4 * std::min(depth, kMaxIndentDepth), ' '); }

void appendEndTag(std::string& out, pugi::xml_node element) {
  out += "</";
  out += element.name();
  out += '>';
  out += kLineEnd;
}

// Start tag, text and, for an element without children, the end of it.
// Returns the first child element, or null when the element is complete.
pugi::xml_node appendElementStart(std::string& out, pugi::xml_node element, size_t depth) {
  appendIndent(out, depth);
  out += '<';
  out += element.name();
  for (auto attribute : element.attributes()) {
    out += ' ';
    out += attribute.name();
    out += "=\"";
    appendEscaped(out, attribute.value(), true);
    out += '"';
  }
  const auto text = element.first_child();
  const bool hasText = isText(text);
  const auto child = hasText ? text.next_sibling() : text;
  if (!hasText && !child) {
    out += " />";
    out += kLineEnd;
    return {};
  }
  out += '>';
  if (hasText) {
    if (text.type() == pugi::node_cdata)
      appendCdata(out, text.value());
    else
      appendEscaped(out, text.value(), false);
  }
  if (!child) {
    appendEndTag(out, element);
    return {};
  }
  out += kLineEnd;
  return child;
}

}  // namespace

bool EnvelopeDocument::load(std::string_view text) {
  doc_.reset();
  const auto result = doc_.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
  // One document: an optional declaration first, then exactly one element, and
  // no text outside it.
  std::string problem;
  if (!result) {
    problem = std::string(result.description()) + " at offset " + std::to_string(result.offset);
  } else {
    size_t elements = 0;
    for (auto node : doc_.children()) {
      if (node.type() == pugi::node_element)
        ++elements;
      else if (node.type() != pugi::node_declaration || node != doc_.first_child())
        problem = "content outside the document element";
    }
    if (problem.empty() && elements != 1) problem = elements == 0 ? "no document element" : "several document elements";
  }
  if (!problem.empty()) {
    errors_.push_back("Failed to parse XML: " + problem);
    doc_.reset();
    return false;
  }
  const auto top = root();
  for (auto element = top; element; element = nextElement(element, top)) gatherText(element);
  return true;
}

pugi::xml_node EnvelopeDocument::declaration() const {
  const auto first = doc_.first_child();
  return first.type() == pugi::node_declaration ? first : pugi::xml_node();
}

pugi::xml_node EnvelopeDocument::root() const { return doc_.document_element(); }

bool EnvelopeDocument::hasRoot() const { return bool(root()); }

std::string EnvelopeDocument::rootTag() const { return root().name(); }

std::string EnvelopeDocument::rootText() const {
  const auto text = root().first_child();
  return isText(text) ? text.value() : "";
}

std::string EnvelopeDocument::text() const {
  std::string out;
  if (const auto decl = declaration()) {
    out += "<?xml";
    // standalone goes last whatever its place in the source.
    for (const bool standalone : {false, true}) {
      for (auto attribute : decl.attributes()) {
        if ((std::strcmp(attribute.name(), "standalone") == 0) != standalone) continue;
        out += ' ';
        out += attribute.name();
        out += "=\"";
        out += attribute.value();
        out += '"';
      }
    }
    out += " ?>";
  }
  out += kLineEnd;

  // Iterative, so that the depth of a document is bounded by memory, not the stack.
  const auto top = root();
  if (!top) return out;
  auto element = top;
  size_t depth = 0;
  for (;;) {
    if (const auto child = appendElementStart(out, element, depth)) {
      element = child;
      ++depth;
      continue;
    }
    for (;;) {
      if (element == top) return out;
      if (const auto sibling = element.next_sibling()) {
        element = sibling;
        break;
      }
      element = element.parent();
      --depth;
      appendIndent(out, depth);
      appendEndTag(out, element);
    }
  }
}

bool EnvelopeDocument::zipTree() {
  auto top = root();
  if (!top) return false;
  const auto zipped = rawDeflate(text());
  if (!zipped) {
    errors_.push_back("Failed to compress data");
    return false;
  }
  top.remove_children();
  top.append_child(pugi::node_cdata).set_value(base64Lines(*zipped).c_str());
  return true;
}

bool EnvelopeDocument::unzipContent() {
  auto top = root();
  if (!top) return false;
  const auto zipped = decodeBase64(rootText());
  if (!zipped || zipped->empty()) {
    errors_.push_back("Failed to decode base64 data");
    return false;
  }
  const auto unzipped = rawInflate(*zipped, kInflateLimit);
  if (!unzipped) {
    errors_.push_back("Failed to inflate data");
    return false;
  }
  EnvelopeDocument inner;
  if (!inner.load(*unzipped)) {
    errors_.push_back("Failed to parse unzipped XML");
    return false;
  }
  top.remove_children();
  for (auto child : inner.root().children()) top.append_copy(child);
  return true;
}

void EnvelopeDocument::declareEncoding() {
  auto decl = declaration();
  if (!decl) {
    decl = doc_.prepend_child(pugi::node_declaration);
    decl.set_name("xml");
    decl.append_attribute("version") = "1.0";
  }
  if (!decl.attribute("encoding")) decl.append_attribute("encoding") = "utf-8";
}

std::string base64Lines(std::string_view bytes) {
  const std::string line = encodeBase64(bytes);
  std::string out;
  out.reserve(line.size() + 2 * (line.size() / kBase64LineLength + 2));
  for (size_t at = 0; at < line.size(); at += kBase64LineLength) {
    out.append(line, at, kBase64LineLength);
    if (line.size() - at >= kBase64LineLength) out += kLineEnd;
  }
  out += kLineEnd;
  return out;
}

}  // namespace brim
