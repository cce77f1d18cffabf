#pragma once
// Building the property lists the profiler writes: owned nodes, dictionaries
// that skip absent values, the macOS value forms, and the report document.
#include <plist/plist.h>

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace profiler {

struct NodeFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using Node = std::unique_ptr<std::remove_pointer_t<plist_t>, NodeFree>;

// A dictionary under construction. Absent values leave their key out, so a
// missing source shows as a missing key, never as an invented value. Keys come
// out in byte order, as the real tool writes them.
class Dict {
 public:
  Dict& set(const std::string& key, const std::optional<std::string>& value);
  Dict& set(const std::string& key, const char* value) { return set(key, std::optional<std::string>(value)); }
  Dict& setInteger(const std::string& key, std::optional<int64_t> value);
  Dict& setDate(const std::string& key, std::optional<time_t> value);
  Dict& setNode(const std::string& key, Node value);                              // skipped when null
  Dict& setList(const std::string& key, const std::vector<std::string>& values);  // skipped when empty
  size_t size() const { return entries_.size(); }
  Node take();

 private:
  std::map<std::string, Node> entries_;
};

class List {
 public:
  List() : node_(plist_new_array()) {}
  List& append(Node item);
  List& append(Dict&& item) { return append(item.take()); }
  List& append(Dict& item) { return append(item.take()); }  // a finished chain of set() calls
  size_t size() const { return plist_array_get_size(node_.get()); }
  Node take() { return std::move(node_); }

 private:
  Node node_;
};

// The report the real tool writes for one data type: a top array with one
// dictionary holding "_dataType", "_items" and its bookkeeping keys.
Node profilerDocument(const std::string& dataType, const std::string& parentDataType, Node items, time_t now);
std::string toXml(plist_t node);

// "16 GB", "256 KB": memory and cache sizes in powers of 1024, whole units.
std::string binarySize(uint64_t bytes);
// Memory the kernel reports, rounded up to what is installed: "24 GB".
std::string installedMemorySize(uint64_t bytes);
// "750.16 GB", "650 MB": storage sizes in powers of 1000 with up to two decimals.
std::string decimalSize(uint64_t bytes);
// "0x1af4" -> "0x1af4" with a fixed number of hex digits.
std::string hexId(uint64_t value, int digits);
std::string yesNo(bool value);

}  // namespace profiler
