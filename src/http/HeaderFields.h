#pragma once
// Header fields of an HTTP message in the order they came, and what the
// request engine reads out of a response's fields.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brim {

using HeaderFields = std::vector<std::pair<std::string, std::string>>;

bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The value of the first field of that name (names compare without case).
std::optional<std::string> headerValue(const HeaderFields& fields, std::string_view name);

// The "charset=" parameter of a "Content-Type" value, quotes removed.
std::optional<std::string> charsetParameter(std::string_view contentType);

// How long the connection that carried a response may serve later requests;
// absent when it must not be reused.
std::optional<std::chrono::seconds> connectionReuseAllowance(bool isHTTP10, const HeaderFields& fields,
                                                             std::chrono::seconds persistentConnectionTimeout);

// The scheme names (lower case) of every challenge in the fields of that name,
// e.g. "Proxy-Authenticate: Basic realm=\"x\"" gives "basic".
std::vector<std::string> challengeSchemes(const HeaderFields& fields, std::string_view name);

}  // namespace brim
