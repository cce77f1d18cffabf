#include "inspect/WebPostWriter.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "config/SectionFields.h"
#include "envelope/EncryptionAES.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Plist.h"

namespace brim::inspect {
namespace {

bool validName(const std::string& name) {
  return !name.empty() && name.size() <= 64 &&
         std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c) || c == '_'; });
}

// An address the tool posts to: http or https, a host, and nothing a server
// log or a shell would read differently (blanks, controls, non-ASCII).
bool validSite(const std::string& site) {
  const size_t scheme = site.rfind("http://", 0) == 0 ? 7 : site.rfind("https://", 0) == 0 ? 8 : 0;
  if (scheme == 0 || site.size() <= scheme || site.size() > 2048) return false;
  if (site.find_first_of("/?#", scheme) == scheme) return false;
  return std::all_of(site.begin(), site.end(), [](unsigned char c) { return c > 0x20 && c < 0x7f; });
}

Plist newWebPost() {
  Plist post(plist_new_dict());
  for (const char* flag : {"compression", "encryption", "encryptxmlroottag"}) {
    plist_dict_set_item(post.get(), flag, plist_new_bool(0));
  }
  plist_t getData = plist_new_dict();
  plist_dict_set_item(getData, "regid", plist_new_string("regid"));
  plist_dict_set_item(post.get(), "getdata", getData);
  return post;
}

}  // namespace

bool writeWebPost(const WebPostChange& change, std::string& error) {
  if (!validName(change.name)) {
    error = "web-post name \"" + change.name + "\": letters, digits and _ only";
    return false;
  }
  if (!validSite(change.site)) {
    error = change.site + ": not an http:// or https:// address with a host";
    return false;
  }
  const std::string path = Paths::fixed(Paths::kWebPostsFile);
  Plist file;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    file = readPlistFile(path);
    // What cannot be read is not replaced: it may hold what the agent's server sent.
    if (!file || plist_get_node_type(file.get()) != PLIST_DICT) {
      error = path + " cannot be read as a property-list dictionary; left as it is";
      return false;
    }
  } else {
    file.reset(plist_new_dict());
  }
  plist_t existing = plistDictItem(file.get(), change.name);
  Plist post(existing && plist_get_node_type(existing) == PLIST_DICT ? plist_copy(existing) : newWebPost().release());
  setSectionValue(post.get(), "primarysite",
                  Plist(plist_new_string(EncryptionAES().encryptChilkat(change.site, sharedPassPhrase()).c_str())));
  if (change.compression) setSectionValue(post.get(), "compression", Plist(plist_new_bool(*change.compression)));
  if (change.encryption) setSectionValue(post.get(), "encryption", Plist(plist_new_bool(*change.encryption)));
  setSectionValue(file.get(), change.name, std::move(post));
  if (!writePlistFileAtomically(path, file.get())) {
    error = path + " not written: " + FileSystem::lastFailure();
    return false;
  }
  return true;
}

}  // namespace brim::inspect
