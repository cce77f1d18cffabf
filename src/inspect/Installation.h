#pragma once
// What an administrator asks of an agent installation (the real one, or a copy
// under the sandbox root): its settings, its web posts, and whether the tool
// can do its jobs with them.
#include <plist/plist.h>

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/RootedTree.h"
#include "platform/Plist.h"

namespace brim {
class GlobalPreferences;
}

namespace brim::inspect {

// Every section of the settings file, one value a line. Encrypted values show
// as "(encrypted)" unless decrypt is set. False (why set) when the file
// cannot be read.
bool printSettings(std::ostream& out, bool decrypt, std::string& why);
// Every web post with its flags and query string; with decrypt, its sites and
// the address the tool posts to.
bool printWebPosts(std::ostream& out, bool decrypt, std::string& why);

struct Check {
  enum class Status { OK, WARN, FAIL };
  Status status = Status::OK;
  std::string name;
  std::string detail;
  std::string advice;  // what to do, for WARN and FAIL
};

Check ok(std::string name, std::string detail);
Check warn(std::string name, std::string detail, std::string advice);
Check failed(std::string name, std::string detail, std::string advice);

// Calls visit with each key and value of a dictionary, in the file's order.
void forEachEntry(plist_t dict, const std::function<void(const std::string& key, plist_t value)>& visit);

std::vector<Check> doctor();
std::string doctorText(const std::vector<Check>& checks);
std::string doctorJson(const std::vector<Check>& checks);

// Shared by the commands that read an installation.

// Under --root the installation is a copy: nothing is written into it and no
// name it holds is looked up, as neither would tell anything about the copy.
bool readsACopy();
// The installation: the copy under --root, or the machine itself.
RootedTree installation();
// A folder named in the settings, as this process sees it: under the sandbox
// root unless the settings already name it there (a test sandbox writes them so).
std::string rooted(const std::string& path);
// The settings as the tool loads them, from a dictionary read here: a root
// entry that is not a dictionary reads as an absent section.
void loadPreferences(GlobalPreferences& prefs, plist_t settings);
// The file's root dictionary; null, with why set, when there is none.
Plist readDictionaryFile(const RootedTree& tree, const std::string& path, std::string& why);

}  // namespace brim::inspect
