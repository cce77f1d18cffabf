#include "inventory/ProfilerRun.h"

#include <sys/stat.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "inventory/ProfilerValues.h"
#include "platform/CustomLogger.h"
#include "platform/FileSystem.h"
#include "platform/ShellCommand.h"
#include "platform/Text.h"

namespace brim {
namespace {

constexpr auto kRun = Sig::instance("ProfilerRun", "initWithDataDir:dataType:fileName:");

// A report this large is not a machine's profile; parsing it would take
// several times its size in memory.
constexpr uint64_t kReportLimit = uint64_t{256} << 20;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isBlankText(std::string_view text) {
  for (const char c : text) {
    if (!isBlank(c)) return false;
  }
  return true;
}

// No attribute value in the tag runs past its end: its first ">" ends it for
// every reader.
bool quotesClosed(std::string_view tag) {
  char quote = 0;
  for (const char c : tag) {
    if (quote ? c == quote : (c == '"' || c == '\'')) quote = quote ? 0 : c;
  }
  return quote == 0;
}

// Where the items of a report sit in its text: the content of the first
// element's "_items" array, and each item element in it.
struct ItemsLayout {
  std::size_t listBegin = 0;
  std::size_t listEnd = 0;
  std::vector<std::pair<std::size_t, std::size_t>> items;
};

// Follows the markup of a report written as system_profiler writes it:
// <plist><array><dict>... <key>_items</key><array> item item ... </array>
// ...</dict> ...</array></plist>, after a declaration and a document type.
// Anything else (comments, sections, a second "_items", a key written with
// references, text between the items, attribute values holding markup, markup
// that does not close) gives no layout, and the text is parsed whole.
std::optional<ItemsLayout> layoutOf(std::string_view text) {
  // Depths: 0 outside the root, 1 inside "plist", 2 inside the top array,
  // 3 inside its first dictionary, 4 inside the item list.
  struct Open {
    std::string_view name;
    std::size_t contentBegin;
  };
  std::vector<Open> open;
  ItemsLayout layout;
  bool rootSeen = false, arraySeen = false, firstDictSeen = false;
  bool inFirstDict = false, keyIsItems = false, inList = false, listSeen = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t lt = text.find('<', pos);
    const std::size_t textEnd = lt == std::string_view::npos ? text.size() : lt;
    const bool blankOnly = open.empty() || (inList && open.size() == 4);
    if (blankOnly && !isBlankText(text.substr(pos, textEnd - pos))) return std::nullopt;
    if (lt == std::string_view::npos) break;
    // Every tag ends at the first ">" and holds no "<".
    const std::size_t at = text.find('>', lt);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view tag = text.substr(lt, at + 1 - lt);
    if (tag.find('<', 1) != std::string_view::npos || !quotesClosed(tag)) return std::nullopt;
    const std::size_t tagEnd = at + 1;
    pos = tagEnd;
    if (tag.starts_with("<?") || tag.starts_with("<!")) {
      // The declaration and the document type, before the root and without an internal subset.
      if (!open.empty() || rootSeen || tag.starts_with("<!--") || tag.starts_with("<![") ||
          tag.find('[') != std::string_view::npos || (tag[1] == '?' && !tag.ends_with("?>")))
        return std::nullopt;
      continue;
    }
    const bool endTag = tag.starts_with("</");
    std::size_t nameEnd = endTag ? 2 : 1;
    while (nameEnd < tag.size() && !isBlank(tag[nameEnd]) && tag[nameEnd] != '>' && tag[nameEnd] != '/') ++nameEnd;
    const std::string_view name = tag.substr(endTag ? 2 : 1, nameEnd - (endTag ? 2 : 1));
    if (name.empty()) return std::nullopt;
    const std::size_t depth = open.size();
    if (endTag) {
      if (open.empty() || open.back().name != name) return std::nullopt;
      const Open closing = open.back();
      open.pop_back();
      const std::size_t closedDepth = open.size();
      if (closedDepth == 3 && inFirstDict && name == "key") {
        const std::string_view key = text.substr(closing.contentBegin, lt - closing.contentBegin);
        // A key written with references or sections could also read "_items".
        if (key.find_first_of("&<") != std::string_view::npos) return std::nullopt;
        keyIsItems = key == "_items";
        if (keyIsItems && listSeen) return std::nullopt;
      } else if (closedDepth == 3 && inList) {
        inList = false;
        layout.listEnd = lt;
      } else if (closedDepth == 4 && inList) {
        layout.items.back().second = tagEnd;
      } else if (closedDepth == 2 && inFirstDict) {
        inFirstDict = false;
        if (keyIsItems) return std::nullopt;  // "_items" without a value
      }
      continue;
    }
    const bool empty = tag.ends_with("/>");
    if (depth == 0) {
      if (rootSeen || name != "plist" || empty) return std::nullopt;
      rootSeen = true;
    } else if (depth == 1) {
      if (arraySeen || name != "array" || empty) return std::nullopt;
      arraySeen = true;
    } else if (depth == 2 && !firstDictSeen) {
      if (name != "dict" || empty) return std::nullopt;
      firstDictSeen = inFirstDict = true;
    } else if (depth == 3 && inFirstDict && name == "key") {
      if (empty || keyIsItems) return std::nullopt;  // keys whose pairing is the parser's to decide
    } else if (depth == 3 && inFirstDict) {
      if (keyIsItems) {
        if (name != "array" || empty) return std::nullopt;
        inList = listSeen = true;
        keyIsItems = false;
        layout.listBegin = tagEnd;
      }
    } else if (depth == 4 && inList) {
      layout.items.emplace_back(lt, tagEnd);
    }
    if (!empty) open.push_back({name, tagEnd});
  }
  if (!open.empty() || !rootSeen || !listSeen || layout.items.empty()) return std::nullopt;
  return layout;
}

// One item on its own, as the whole report would hold it.
Plist parseItem(std::string_view item) {
  std::string wrapped;
  wrapped.reserve(item.size() + 16);
  wrapped.append("<plist>").append(item).append("</plist>");
  return parsePlist(wrapped);
}

}  // namespace

ProfilerRun::ProfilerRun(const std::optional<std::string>& dataDir, std::string_view dataType,
                         std::string_view fileName)
    : path_(orNull(dataDir) + "/" + std::string(fileName)) {
  text_ = readReport(std::string(dataType));
  // rm -f: its outcome is not looked at.
  FileSystem::removeFile(path_);
}

std::optional<std::string> ProfilerRun::readReport(const std::string& dataType) const {
  const std::string command = "system_profiler " + dataType + " -xml >" + shellQuoted(path_);
  const ShellCommand::Outcome outcome = ShellCommand::run(command, ShellCommand::Limit::Profiler);
  // A failed redirection (no directory, full disk) or a profiler that failed
  // while writing leaves a missing or cut-short file, which reads as no items
  // or fewer; it is said here, on every run, so that a short report is not
  // taken for a small machine.
  if (outcome.exitStatus && *outcome.exitStatus != 0) {
    logAt(kRun,
          command + ": report not written or cut short (exit status " + std::to_string(*outcome.exitStatus) + ")");
  }
  // Killed at its limit: as if it had printed nothing.
  if (outcome.killed) logAt(kRun, command + ": report cut short (killed at its time limit); not read");
  if (!outcome.started || outcome.killed) return std::nullopt;
  struct stat report {};
  if (::stat(path_.c_str(), &report) != 0) return std::nullopt;  // nothing written: no items
  if (!S_ISREG(report.st_mode)) {
    logAt(kRun, path_ + ": not a regular file: not read");
    return std::nullopt;
  }
  const auto tooLarge = [this](uint64_t size) {
    logAt(kRun, path_ + ": report of " + std::to_string(size) + " bytes is over " + std::to_string(kReportLimit) +
                    ": not read");
  };
  if (static_cast<uint64_t>(report.st_size) > kReportLimit) {
    tooLarge(static_cast<uint64_t>(report.st_size));
    return std::nullopt;
  }
  // Read within the bound as well, in case the file grew after the look.
  std::optional<std::string> content = FileSystem::readFile(path_, kReportLimit + 1);
  if (content && content->size() > kReportLimit) {
    tooLarge(content->size());
    return std::nullopt;
  }
  return content;
}

void ProfilerRun::parseWhole() const {
  if (parsed_) return;
  parsed_ = true;
  if (text_) array_ = parsePlist(*text_);
  if (array_ && plist_get_node_type(array_.get()) == PLIST_ARRAY && plist_array_get_size(array_.get()) > 0) {
    first_ = plist_array_get_item(array_.get(), 0);
  }
}

bool ProfilerRun::arrayNotEmpty() const {
  parseWhole();
  return first_ != nullptr;
}

plist_t ProfilerRun::items() const {
  parseWhole();
  return valueAt(first_, "_items");
}

std::size_t ProfilerRun::itemCount() const { return elementsOf(items()).size(); }

void ProfilerRun::forEachItem(const std::function<void(std::size_t)>& count,
                              const std::function<void(plist_t)>& each) const {
  std::optional<ItemsLayout> layout;
  if (!parsed_ && text_) layout = layoutOf(*text_);
  if (layout) {
    // The text parses whole exactly when what surrounds the list and every
    // item parse, and the list then holds these items: that is checked first,
    // so that a report that would not parse gives no item at all.
    const std::string_view text(*text_);
    std::string surrounding;
    surrounding.reserve(text.size() - (layout->listEnd - layout->listBegin));
    surrounding.append(text.substr(0, layout->listBegin)).append(text.substr(layout->listEnd));
    const Plist outer = parsePlist(surrounding);
    plist_t first = outer && plist_get_node_type(outer.get()) == PLIST_ARRAY && plist_array_get_size(outer.get()) > 0
                        ? plist_array_get_item(outer.get(), 0)
                        : nullptr;
    plist_t list = valueAt(first, "_items");
    bool usable = list && plist_get_node_type(list) == PLIST_ARRAY && plist_array_get_size(list) == 0;
    for (std::size_t i = 0; usable && i < layout->items.size(); ++i) {
      const auto [begin, end] = layout->items[i];
      usable = parseItem(text.substr(begin, end - begin)) != nullptr;
    }
    if (usable) {
      if (count) count(layout->items.size());
      for (const auto& [begin, end] : layout->items) {
        const Plist item = parseItem(text.substr(begin, end - begin));
        each(item.get());
      }
      return;
    }
  }
  if (arrayNotEmpty() && count) count(itemCount());
  for (plist_t item : elementsOf(items())) each(item);
}

}  // namespace brim
