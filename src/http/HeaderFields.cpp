#include "http/HeaderFields.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace brim {
namespace {

std::string_view trimmed(std::string_view text) {
  const auto notSpace = [](char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; };
  const auto first = std::find_if(text.begin(), text.end(), notSpace);
  const auto last = std::find_if(text.rbegin(), text.rend(), notSpace).base();
  return first < last ? std::string_view(first, last) : std::string_view();
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Splits "a=1, b=2" or "text/html; charset=x" at `separator` into trimmed parts.
std::vector<std::string_view> parts(std::string_view text, char separator) {
  std::vector<std::string_view> out;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(separator, start), text.size());
    out.push_back(trimmed(text.substr(start, end - start)));
    start = end + 1;
  }
  return out;
}

// The value of "key=value" in `part` when the key matches, quotes removed.
std::optional<std::string_view> parameter(std::string_view part, std::string_view key) {
  const size_t equals = part.find('=');
  if (equals == std::string_view::npos || !equalsIgnoringCase(trimmed(part.substr(0, equals)), key))
    return std::nullopt;
  std::string_view value = trimmed(part.substr(equals + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return value;
}

long long leadingNumber(std::string_view text) {
  long long value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

bool hasToken(std::string_view list, std::string_view token) {
  for (std::string_view part : parts(list, ','))
    if (equalsIgnoringCase(part, token)) return true;
  return false;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<std::string> headerValue(const HeaderFields& fields, std::string_view name) {
  for (const auto& [fieldName, value] : fields)
    if (equalsIgnoringCase(fieldName, name)) return value;
  return std::nullopt;
}

std::optional<std::string> charsetParameter(std::string_view contentType) {
  for (std::string_view part : parts(contentType, ';'))
    if (auto value = parameter(part, "charset"); value && !value->empty()) return std::string(*value);
  return std::nullopt;
}

std::optional<std::chrono::seconds> connectionReuseAllowance(bool isHTTP10, const HeaderFields& fields,
                                                             std::chrono::seconds persistentConnectionTimeout) {
  const std::string connection = headerValue(fields, "Connection").value_or("");
  if (isHTTP10 && !hasToken(connection, "keep-alive")) return std::nullopt;
  if (hasToken(connection, "close")) return std::nullopt;
  const std::optional<std::string> keepAlive = headerValue(fields, "Keep-Alive");
  if (!keepAlive) return persistentConnectionTimeout;
  long long timeout = 0;
  long long max = 0;
  for (std::string_view part : parts(*keepAlive, ',')) {
    if (auto value = parameter(part, "timeout")) timeout = leadingNumber(*value);
    if (auto value = parameter(part, "max")) max = leadingNumber(*value);
  }
  // A server that offers fewer than six more requests is about to close.
  if (max < 6 || timeout <= 0) return std::nullopt;
  return std::chrono::seconds(timeout);
}

std::vector<std::string> challengeSchemes(const HeaderFields& fields, std::string_view name) {
  std::vector<std::string> schemes;
  for (const auto& [fieldName, value] : fields) {
    if (!equalsIgnoringCase(fieldName, name)) continue;
    const std::string_view challenge = trimmed(value);
    const std::string_view scheme = challenge.substr(0, challenge.find_first_of(" \t,"));
    if (!scheme.empty()) schemes.push_back(lowered(scheme));
  }
  return schemes;
}

}  // namespace brim
