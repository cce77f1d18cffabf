// The doctor's findings as the administrator reads them: one line a check,
// or a JSON array for scripts.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/Installation.h"

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

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string doctorText(const std::vector<Check>& checks) {
  std::string out;
  for (const Check& check : checks) {
    std::string status = statusText(check.status);
    status.resize(5, ' ');
    out += status + check.name + ": " + check.detail;
    if (check.status != Check::Status::OK) out += " -> " + check.advice;
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
