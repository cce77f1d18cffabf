#include "Report.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace profiler {

namespace {
constexpr int64_t kPlistEpochOffset = 978307200;  // 2001-01-01 00:00:00 UTC

// Text read from /proc, /sys and the package databases as a report may carry
// it: bytes that are not UTF-8 become U+FFFD, and control characters that XML
// cannot hold are left out.
std::string reportText(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      if (lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r') text += static_cast<char>(lead);
      ++i;
      continue;
    }
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    uint32_t code = length == 4 ? lead & 0x07u : length == 3 ? lead & 0x0Fu : lead & 0x1Fu;
    bool valid = length != 0 && lead <= 0xF4 && i + length <= bytes.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates, and the two non-characters XML excludes.
    valid = valid && !(length == 3 && code < 0x800) && !(length == 4 && (code < 0x10000 || code > 0x10FFFF)) &&
            !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE && code != 0xFFFF;
    if (valid) {
      text.append(bytes, i, length);
      i += length;
    } else {
      text += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return text;
}
}  // namespace

Dict& Dict::set(const std::string& key, const std::optional<std::string>& value) {
  if (value && !value->empty()) entries_[key] = Node(plist_new_string(reportText(*value).c_str()));
  return *this;
}

Dict& Dict::setInteger(const std::string& key, std::optional<int64_t> value) {
  if (value) entries_[key] = Node(plist_new_uint(static_cast<uint64_t>(*value)));
  return *this;
}

Dict& Dict::setDate(const std::string& key, std::optional<time_t> value) {
  if (value) entries_[key] = Node(plist_new_date(static_cast<int32_t>(*value - kPlistEpochOffset), 0));
  return *this;
}

Dict& Dict::setNode(const std::string& key, Node value) {
  // Some keys are names read from the system (Bluetooth peers): cleaned as values are.
  if (value) entries_[reportText(key)] = std::move(value);
  return *this;
}

Dict& Dict::setList(const std::string& key, const std::vector<std::string>& values) {
  if (values.empty()) return *this;
  List list;
  for (const auto& value : values) list.append(Node(plist_new_string(reportText(value).c_str())));
  return setNode(key, list.take());
}

Node Dict::take() {
  Node dict(plist_new_dict());
  for (auto& [key, value] : entries_) plist_dict_set_item(dict.get(), key.c_str(), value.release());
  entries_.clear();
  return dict;
}

List& List::append(Node item) {
  if (item) plist_array_append_item(node_.get(), item.release());
  return *this;
}

Node profilerDocument(const std::string& dataType, const std::string& parentDataType, Node items, time_t now) {
  Dict report;
  List arguments;
  for (const char* argument : {"/usr/sbin/system_profiler", "-xml", dataType.c_str()})
    arguments.append(Node(plist_new_string(argument)));
  report.setNode("_SPCommandLineArguments", arguments.take())
      .setNode("_SPCompletionInterval", Node(plist_new_real(0.0)))
      .set("_dataType", dataType)
      .set("_detailLevel", "-1")
      .setNode("_items", items ? std::move(items) : Node(plist_new_array()))
      .set("_parentDataType", parentDataType)
      .setNode("_properties", Node(plist_new_dict()))
      .setDate("_timeStamp", now)
      .setNode("_versionInfo", Dict().set("com.linux.SystemProfiler." + dataType, "1").take());
  List top;
  top.append(report.take());
  return top.take();
}

std::string toXml(plist_t node) {
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(node, &xml, &length);
  std::string text = xml ? std::string(xml, length) : std::string();
  free(xml);
  return text;
}

std::string binarySize(uint64_t bytes) {
  static const char* const kUnits[] = {"bytes", "KB", "MB", "GB", "TB"};
  int unit = 0;
  // Whole units as the real tool writes them: 16 GB, 6 MB, 256 KB.
  while (unit < 4 && bytes >= 1024 && bytes % 1024 == 0) {
    bytes /= 1024;
    ++unit;
  }
  return std::to_string(bytes) + " " + kUnits[unit];
}

std::string installedMemorySize(uint64_t bytes) {
  // The kernel sees less than is installed (firmware reservations): round up to
  // whole gigabytes, as the installed modules would add up.
  constexpr uint64_t kGiB = uint64_t(1) << 30;
  if (bytes >= kGiB) return std::to_string((bytes + kGiB - 1) / kGiB) + " GB";
  constexpr uint64_t kMiB = uint64_t(1) << 20;
  return std::to_string((bytes + kMiB - 1) / kMiB) + " MB";
}

std::string decimalSize(uint64_t bytes) {
  static const char* const kUnits[] = {"bytes", "KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (unit < 4 && value >= 1000.0) {
    value /= 1000.0;
    ++unit;
  }
  if (unit == 0) return std::to_string(bytes) + " bytes";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string number = text;
  while (number.back() == '0') number.pop_back();
  if (number.back() == '.') number.pop_back();
  return number + " " + kUnits[unit];
}

std::string hexId(uint64_t value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string yesNo(bool value) { return value ? "yes" : "no"; }

}  // namespace profiler
