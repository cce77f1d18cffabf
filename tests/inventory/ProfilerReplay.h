#pragma once
// Test helpers for the collectors: a system_profiler first on PATH that answers each data type
// from a recorded file or a script and notes how it was called, and an outline form of a
// category subtree that reads like the document.
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "inventory/InventoryCategories.h"
#include "inventory/collectData.h"
#include "support/Sandbox.h"

namespace brim::test {

class ProfilerReplay {
  // The file the shell's standard output goes to, as the system tells it.
#ifdef __linux__
  static constexpr const char* kStandardOutput = "$(readlink /proc/$$/fd/1)";
#else
  static constexpr const char* kStandardOutput = "$(lsof -a -p $$ -d 1 -Fn | sed -n 's/^n//p')";
#endif

 public:
  ProfilerReplay() {
    // Each call notes its arguments and where its standard output goes.
    sandbox_.writeExecutable(sandbox_.fakeBinDir() + "/system_profiler",
                             "#!/bin/sh\necho \"system_profiler $* >" + std::string(kStandardOutput) + "\" >>'" +
                                 sandbox_.root() + "/calls'\nf='" + answer("") +
                                 "'\"$1\"\n[ -f \"$f.sh\" ] && . \"$f.sh\"\n"
                                 "[ -f \"$f.xml\" ] && exec cat \"$f.xml\"\nexit 0\n");
  }

  // Answers dataType with the report of a case under tests/data: "<case>/<dataType>.xml".
  void serve(const std::string& dataType, const std::string& dataCase) {
    serveText(dataType, readFile(testData(dataCase + "/" + dataType + ".xml")));
  }
  // Answers dataType with the given text.
  void serveText(const std::string& dataType, const std::string& text) { writeFile(answer(dataType) + ".xml", text); }
  // Answers dataType with a report whose "_items" list holds the given plist XML items.
  void serveItems(const std::string& dataType, const std::string& items) {
    serveText(dataType,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array><dict>"
              "<key>_dataType</key><string>" +
                  dataType + "</string><key>_items</key><array>" + items + "</array></dict></array></plist>\n");
  }
  // Answers dataType by running script (sh) first; a script that exits answers alone.
  void serveScript(const std::string& dataType, const std::string& script) {
    writeFile(answer(dataType) + ".sh", script);
  }

  std::string dataDir() const { return sandbox_.path("temp"); }
  collectData collector() const {
    collectData collector;
    collector.dataDir = dataDir();
    return collector;
  }
  // One line per profiler call: "system_profiler <args> ><redirect target>".
  std::vector<std::string> calls() const {
    std::vector<std::string> lines;
    std::ifstream in(sandbox_.root() + "/calls");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // Every report file the profiler wrote has been removed again.
  bool dataDirEmpty() const { return std::filesystem::is_empty(dataDir()); }

 private:
  std::string answer(const std::string& dataType) const { return sandbox_.root() + "/answers/" + dataType; }
  Sandbox sandbox_;
  const ScopedEnvironment path_{{"PATH"}, pathWithFirst(sandbox_.fakeBinDir())};
};

// The subtree as indented lines: an element's name, its ID attribute, then its
// CDATA text in brackets or its plain text in quotes.
//   fn
//     fnname "memoryinfo"
//     dtl ID=0
//       ecc [ecc_disabled]
inline void outlineInto(const pugi::xml_node& node, int depth, std::string& out) {
  out.append(static_cast<std::size_t>(depth) * 2, ' ');
  out += node.name();
  for (const pugi::xml_attribute& attribute : node.attributes()) {
    out += std::string(" ") + attribute.name() + "=" + attribute.value();
  }
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() == pugi::node_cdata) out += std::string(" [") + child.value() + "]";
    if (child.type() == pugi::node_pcdata) out += std::string(" \"") + child.value() + "\"";
  }
  out += '\n';
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() == pugi::node_element) outlineInto(child, depth + 1, out);
  }
}

inline std::string outline(const XMLTree& tree) {
  // Read back from the serialised text, so that the outline shows what the document holds.
  pugi::xml_document document;
  document.load_string(tree.XMLString().c_str(), pugi::parse_default | pugi::parse_cdata);
  std::string out;
  if (document.document_element()) outlineInto(document.document_element(), 0, out);
  return out;
}

// The category of that "fnname"; a test naming one that does not exist fails.
inline const CategoryView& viewNamed(std::string_view category) {
  if (const CategoryView* view = categoryNamed(category)) return *view;
  throw std::invalid_argument("no category " + std::string(category));
}

}  // namespace brim::test
