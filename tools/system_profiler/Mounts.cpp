#include "Mounts.h"

#include <sstream>

namespace profiler {

namespace {
bool isOctal(char c) { return c >= '0' && c <= '7'; }

// Mount tables escape blanks and tabs as octal ("\040"); a backslash
// followed by anything else stays as it is.
std::string unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && isOctal(text[i + 1]) && isOctal(text[i + 2]) &&
        isOctal(text[i + 3])) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool hasOption(const std::string& options, const std::string& option) {
  std::istringstream in(options);
  for (std::string item; std::getline(in, item, ',');)
    if (item == option) return true;
  return false;
}
}  // namespace

std::vector<Mount> mounts(const SystemRoot& root) {
  std::vector<Mount> result;
  // mountinfo names the device by number, which survives "/dev/root" aliases.
  for (const auto& line : root.lines("/proc/self/mountinfo")) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; in >> field;) fields.push_back(field);
    size_t dash = 0;
    while (dash < fields.size() && fields[dash] != "-") ++dash;
    if (fields.size() < 7 || dash + 2 >= fields.size()) {
      std::fprintf(stderr, "system_profiler: skipping malformed mountinfo line\n");
      continue;
    }
    result.push_back(
        {fields[2], unescape(fields[dash + 2]), unescape(fields[4]), fields[dash + 1], hasOption(fields[5], "rw")});
  }
  if (!result.empty()) return result;
  for (const auto& line : root.lines("/proc/mounts")) {
    std::istringstream in(line);
    std::string source, point, type, options;
    if (!(in >> source >> point >> type >> options)) continue;
    result.push_back({"", unescape(source), unescape(point), type, hasOption(options, "rw")});
  }
  return result;
}

std::optional<Mount> mountOf(const std::vector<Mount>& all, const std::string& devNumber, const std::string& name) {
  for (const auto& mount : all)
    if ((!devNumber.empty() && mount.device == devNumber) || mount.source == "/dev/" + name) return mount;
  return std::nullopt;
}

std::map<std::string, std::string> udevProperties(const SystemRoot& root, const std::string& devNumber) {
  std::map<std::string, std::string> properties;
  if (devNumber.empty()) return properties;
  for (const auto& line : root.lines("/run/udev/data/b" + devNumber)) {
    if (line.compare(0, 2, "E:") != 0) continue;
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    properties[line.substr(2, equals - 2)] = line.substr(equals + 1);
  }
  return properties;
}

}  // namespace profiler
