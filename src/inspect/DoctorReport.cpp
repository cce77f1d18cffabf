// The doctor's findings as the administrator reads them: one line a check,
// or a JSON array for scripts.
#include <string>
#include <string_view>
#include <vector>

#include "inspect/Installation.h"
#include "inspect/ShownText.h"

namespace brim::inspect {
namespace {

const char* statusText(Check::Status status) {
  switch (status) {
    case Check::Status::OK:
      return "OK";
    case Check::Status::WARN:
      return "WARN";
    case Check::Status::FAIL:
      return "FAIL";
  }
  return "FAIL";
}

}  // namespace

std::string doctorText(const std::vector<Check>& checks) {
  std::string out;
  for (const Check& check : checks) {
    std::string status = statusText(check.status);
    status.resize(5, ' ');
    out += status + forTerminal(check.name) + ": " + forTerminal(check.detail);
    if (check.status != Check::Status::OK) out += " -> " + forTerminal(check.advice);
    out += "\n";
  }
  return out;
}

std::string doctorJson(const std::vector<Check>& checks) {
  std::string out = "[";
  for (size_t i = 0; i < checks.size(); ++i) {
    const Check& c = checks[i];
    out += std::string(i ? ",\n " : "") + "{\"check\": " + jsonString(c.name) + ", \"status\": \"" +
           statusText(c.status) + "\", \"detail\": " + jsonString(c.detail) + ", \"advice\": " + jsonString(c.advice) +
           "}";
  }
  return out + "]\n";
}

}  // namespace brim::inspect
