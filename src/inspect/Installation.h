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

namespace brim::inspect {

// Every section of the settings file, one value a line. Encrypted values show
// as "(encrypted)" unless decrypt is set. False (error set) when the file
// cannot be read.
bool printSettings(std::ostream& out, bool decrypt, std::string& error);
// Every web post with its flags and query string; with decrypt, its sites and
// the address the tool posts to.
bool printWebPosts(std::ostream& out, bool decrypt, std::string& error);

struct Check {
  enum class Status { OK, WARN, FAIL };
  Status status = Status::OK;
  std::string name;
  std::string detail;
  std::string advice;  // what to do, for WARN and FAIL
};

// Calls visit with each key and value of a dictionary, in the file's order.
void forEachEntry(plist_t dict, const std::function<void(const std::string& key, plist_t value)>& visit);

std::vector<Check> doctor();
std::string doctorText(const std::vector<Check>& checks);
std::string doctorJson(const std::vector<Check>& checks);

}  // namespace brim::inspect
