#include "inspect/WebPostWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "config/SectionFields.h"
#include "envelope/EncryptionAES.h"
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

// Writes text as `name` in the open folder dir in one step: a flushed file
// beside it, owned as old says (when there was one), then a rename. False,
// with why set, when the file stays as it was.
bool replaceAt(int dir, const std::string& name, const std::string& text, const struct stat* old, std::string& why) {
  const std::string temporary = "." + name + "." + std::to_string(::getpid());
  ::unlinkat(dir, temporary.c_str(), 0);
  const UniqueFd fd(::openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  bool written =
      fd.valid() && (!old || ::fchown(fd.get(), old->st_uid, old->st_gid) == 0) && ::fchmod(fd.get(), 0600) == 0;
  for (size_t done = 0; written && done < text.size();) {
    const ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<size_t>(n);
  }
  written = written && ::fsync(fd.get()) == 0 && ::renameat(dir, temporary.c_str(), dir, name.c_str()) == 0;
  if (!written) {
    why = name + " not written: " + std::strerror(errno);
    if (fd.valid()) ::unlinkat(dir, temporary.c_str(), 0);
    return false;
  }
  ::fsync(dir);  // the rename itself; the file is whole either way
  return true;
}

}  // namespace

bool writeWebPost(const RootedTree& tree, const WebPostChange& change, std::string& why) {
  if (!validName(change.name)) {
    why = "web-post name \"" + change.name + "\": letters, digits and _ only";
    return false;
  }
  if (!validSite(change.site)) {
    why = change.site + ": not an http:// or https:// address with a host";
    return false;
  }
  const std::string path = Paths::fixed(Paths::kWebPostsFile);
  const std::string name = path.substr(path.rfind('/') + 1);
  const UniqueFd folder = tree.openFolder(path.substr(0, path.rfind('/')), why);
  if (!folder.valid()) {
    why = path + " not written: " + why;
    return false;
  }
  struct stat st {};
  std::string unreadable;
  const std::optional<std::string> old = RootedTree::readFileAt(folder.get(), name, st, unreadable);
  Plist file(old ? parsePlist(*old).release() : plist_new_dict());
  // What cannot be read is not replaced: it may hold what the agent's server sent.
  if (!unreadable.empty() || !file || plist_get_node_type(file.get()) != PLIST_DICT) {
    why = path + " cannot be read as a property-list dictionary; left as it is" +
          (unreadable.empty() ? "" : " (" + unreadable + ")");
    return false;
  }
  plist_t existing = plistDictItem(file.get(), change.name);
  Plist post(existing && plist_get_node_type(existing) == PLIST_DICT ? plist_copy(existing) : newWebPost().release());
  setSectionValue(post.get(), "primarysite",
                  Plist(plist_new_string(EncryptionAES().encryptChilkat(change.site, sharedPassPhrase()).c_str())));
  if (change.compression) setSectionValue(post.get(), "compression", Plist(plist_new_bool(*change.compression)));
  if (change.encryption) setSectionValue(post.get(), "encryption", Plist(plist_new_bool(*change.encryption)));
  setSectionValue(file.get(), change.name, std::move(post));
  const std::string text = plistToXml(file.get());
  if (text.empty()) {
    why = path + " not written: the web posts do not make a property list";
    return false;
  }
  if (!replaceAt(folder.get(), name, text, old ? &st : nullptr, why)) {
    why = path.substr(0, path.rfind('/') + 1) + why;
    return false;
  }
  return true;
}

}  // namespace brim::inspect
