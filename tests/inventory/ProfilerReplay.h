#pragma once
// Test helpers for the collectors: a system_profiler first on PATH that answers each data type
// from a recorded file or a script and notes how it was called, and an outline form of a
// category subtree that reads like the document.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "inventory/InventoryCategories.h"
#include "inventory/collectData.h"
#include "support/Sandbox.h"

namespace brim::test {

class ProfilerReplay {
 public:
  ProfilerReplay() {
    char pattern[] = "/tmp/brim_profiler_XXXXXX";
    root_ = ::mkdtemp(pattern);
    std::filesystem::create_directories(root_ + "/bin");
    std::filesystem::create_directories(root_ + "/answers");
    std::filesystem::create_directories(root_ + "/temp");
    // Each call notes its arguments and where its standard output goes.
    writeFile(root_ + "/bin/system_profiler",
              "#!/bin/sh\n"
              "echo \"system_profiler $* >$(readlink /proc/$$/fd/1)\" >>'" +
                  root_ +
                  "/calls'\n"
                  "f='" +
                  root_ +
                  "/answers/'\"$1\"\n"
                  "[ -f \"$f.sh\" ] && . \"$f.sh\"\n"
                  "[ -f \"$f.xml\" ] && exec cat \"$f.xml\"\n"
                  "exit 0\n");
    std::filesystem::permissions(root_ + "/bin/system_profiler", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    savedPath_ = path ? path : "";
    ::setenv("PATH", (root_ + "/bin:" + savedPath_).c_str(), 1);
  }
  ~ProfilerReplay() {
    ::setenv("PATH", savedPath_.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  ProfilerReplay(const ProfilerReplay&) = delete;
  ProfilerReplay& operator=(const ProfilerReplay&) = delete;

  // Answers dataType with a file under tests/fixtures.
  void serve(const std::string& dataType, const std::string& fixture) {
    std::filesystem::copy_file(std::string(BRIM_TEST_FIXTURES) + "/" + fixture, answer(dataType),
                               std::filesystem::copy_options::overwrite_existing);
  }
  // Answers dataType with the given text.
  void serveText(const std::string& dataType, const std::string& text) { writeFile(answer(dataType), text); }
  // Answers dataType with a report whose "_items" list holds the given plist XML items.
  void serveItems(const std::string& dataType, const std::string& items) {
    serveText(dataType,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array><dict>"
              "<key>_dataType</key><string>" +
                  dataType + "</string><key>_items</key><array>" + items + "</array></dict></array></plist>\n");
  }

  // Answers dataType by running script (sh) first; a script that exits answers alone.
  void serveScript(const std::string& dataType, const std::string& script) {
    writeFile(root_ + "/answers/" + dataType + ".sh", script);
  }

  std::string dataDir() const { return root_ + "/temp"; }
  collectData collector() const {
    collectData collector;
    collector.dataDir = dataDir();
    return collector;
  }
  // One line per profiler call: "system_profiler <args> ><redirect target>".
  std::vector<std::string> calls() const {
    std::vector<std::string> lines;
    std::ifstream in(root_ + "/calls");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::vector<std::string> filesLeftInDataDir() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dataDir())) {
      names.push_back(entry.path().filename());
    }
    return names;
  }

 private:
  std::string answer(const std::string& dataType) const { return root_ + "/answers/" + dataType + ".xml"; }
  std::string root_;
  std::string savedPath_;
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
  std::vector<pugi::xml_node> elements;
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() == pugi::node_cdata) out += std::string(" [") + child.value() + "]";
    if (child.type() == pugi::node_pcdata) out += std::string(" \"") + child.value() + "\"";
    if (child.type() == pugi::node_element) elements.push_back(child);
  }
  out += '\n';
  for (const pugi::xml_node& child : elements) outlineInto(child, depth + 1, out);
}

inline std::string outline(const XMLTree& tree) {
  // Read back from the serialised text, so that the outline shows what the document holds.
  pugi::xml_document document;
  document.load_string(tree.XMLString().c_str(), pugi::parse_default | pugi::parse_cdata);
  std::string out;
  if (document.document_element()) outlineInto(document.document_element(), 0, out);
  return out;
}

inline std::string expectedOutline(const std::string& name) {
  return readFile(std::string(BRIM_TEST_FIXTURES) + "/inventory/expected/" + name + ".txt");
}

// Every category operation with the data type it asks the profiler for: the
// full inventory, then the software inventory.
using Collector = InventoryCategory;
inline std::span<const Collector> allCollectors() { return inventoryCategories(); }

inline const Collector& collectorOf(const std::string& category) {
  for (const Collector& collector : allCollectors()) {
    if (category == collector.name) return collector;
  }
  throw std::invalid_argument("no category " + category);
}

}  // namespace brim::test
