// The settings and web posts as an administrator reads them.
#include <algorithm>
#include <optional>
#include <ostream>
#include <string>

#include "config/GlobalPreferences.h"
#include "config/WebPostSetting.h"
#include "inspect/BodyDecoder.h"
#include "inspect/Installation.h"
#include "inspect/ShownText.h"
#include "net/Communications.h"
#include "platform/Paths.h"
#include "platform/Plist.h"

namespace brim::inspect {
namespace {

std::string scalarText(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN:
      return plistBool(node).value_or(false) ? "true" : "false";
    case PLIST_UINT:
    case PLIST_REAL:
      return std::to_string(plistInteger(node).value_or(0));
    case PLIST_STRING:
      return "\"" + forTerminal(plistString(node).value_or("")) + "\"";
    case PLIST_DATA: {
      uint64_t length = 0;
      plist_get_data_ptr(node, &length);
      return "(" + std::to_string(length) + " bytes of data)";
    }
    case PLIST_DATE:
      return "(a date)";
    default:
      return "(?)";
  }
}

void printValue(std::ostream& out, const std::string& key, plist_t node, bool decrypt, const std::string& passPhrase) {
  if (plist_get_node_type(node) == PLIST_DICT) {
    forEachEntry(node, [&](const std::string& name, plist_t value) {
      printValue(out, key + "." + name, value, decrypt, passPhrase);
    });
    return;
  }
  if (plist_get_node_type(node) == PLIST_ARRAY) {
    for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
      printValue(out, key + "[" + std::to_string(i) + "]", plist_array_get_item(node, i), decrypt, passPhrase);
    }
    return;
  }
  // A section that holds a plain value has no key of its own.
  out << "  " << (key.empty() ? std::string("(value)") : forTerminal(key.substr(1))) << " = ";
  const std::optional<std::string> text = plistString(node);
  if (!text) {
    out << scalarText(node) << "\n";
    return;
  }
  // The value's own key: the last of the path, without an array index.
  std::string leaf = key.substr(key.rfind('.') + 1);
  leaf.resize(std::min(leaf.size(), leaf.find('[')));
  const ShownValue shown = shownString(leaf, *text, decrypt, passPhrase);
  out << (shown.hidden ? shown.text : "\"" + forTerminal(shown.text) + "\"");
  if (shown.decrypted) out << " (decrypted)";
  // Whole cipher blocks that do not come back: encrypted under another pass phrase, or damaged.
  if (!shown.decrypted && !shown.hidden && looksEncrypted(*text)) out << " (looks encrypted; does not decrypt)";
  out << "\n";
}

// The address a post goes to: the query string resolved against the site,
// as a reference that is only a query replaces the site's own query.
std::string postAddress(const std::string& site, const std::string& query) {
  std::string base = Communications::initWithBaseURLString(site).baseURL.value_or(site);
  base = base.substr(0, base.find_first_of("?#"));
  return base + query;
}

}  // namespace

bool printSettings(std::ostream& out, bool decrypt, std::string& why) {
  const std::string path = GlobalPreferences::settingsFilePath();
  const Plist settings = readDictionaryFile(installation(), path, why);
  if (!settings) return false;
  out << "# " << forTerminal(path) << "\n";
  const std::string passPhrase = sharedPassPhrase();
  forEachEntry(settings.get(), [&](const std::string& section, plist_t value) {
    out << "[" << forTerminal(section) << "]\n";
    printValue(out, "", value, decrypt, passPhrase);
  });
  return true;
}

bool printWebPosts(std::ostream& out, bool decrypt, std::string& why) {
  const RootedTree tree = installation();
  const std::string path = Paths::fixed(Paths::kWebPostsFile);
  const Plist file = readDictionaryFile(tree, path, why);
  if (!file) return false;
  // The settings give the query string; without them it is what an empty settings file gives.
  GlobalPreferences prefs;
  std::string unreadable;
  loadPreferences(prefs, readDictionaryFile(tree, GlobalPreferences::settingsFilePath(), unreadable).get());
  const bool toDR = prefs.disasterInfo().reportToDR();
  out << "# " << forTerminal(path) << (toDR ? " (the settings send reports to the disaster-recovery sites)" : "")
      << "\n";
  forEachEntry(file.get(), [&](const std::string& name, plist_t value) {
    WebPostSetting post;
    post.initWithDictionary(value);
    out << "[" << forTerminal(name) << "]\n";
    out << "  compression = " << (post.compression() ? "true" : "false")
        << ", encryption = " << (post.encryption() ? "true" : "false")
        << ", encryptxmlroottag = " << (post.encryptXMLRootTag() ? "true" : "false") << "\n";
    const struct {
      const char* key;
      const std::optional<std::string>& stored;
      const std::optional<std::string>& plain;
    } sites[] = {{"primarysite", post.storedSite("primarysite"), post.primarySite()},
                 {"secondarysite", post.storedSite("secondarysite"), post.secondarySite()},
                 {"disasterrecovery", post.storedSite("disasterrecovery"), post.disasterRecovery()}};
    for (const auto& site : sites) {
      out << "  " << site.key << " = ";
      if (!site.stored)
        out << "(absent)\n";
      else if (!decryptsWith(*site.stored, sharedPassPhrase()))
        out << "(does not decrypt)\n";
      else if (!decrypt)
        out << "(encrypted)\n";
      else
        out << "\"" << forTerminal(*site.plain) << "\"\n";
    }
    const std::string query = post.GETDataURLSubString(prefs);
    out << "  query = \"" << forTerminal(query) << "\"\n";
    const std::optional<std::string>& target = toDR ? post.disasterRecovery() : post.primarySite();
    if (decrypt && target) out << "  posts to " << forTerminal(postAddress(*target, query)) << "\n";
  });
  return true;
}

}  // namespace brim::inspect
