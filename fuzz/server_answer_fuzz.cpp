// Any bytes as a server's answer (status line, header fields, blank line,
// body), through what the request engine reads out of an answer itself: the
// charset of "Content-Type" and the body decoded with it, the connection's
// reuse allowance, the proxy's challenge schemes and the redirect's
// "Location". Decompression, cookies and resolving "Location" against the
// request's URL are libcurl's and have no code of ours to reach.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/CharsetDecoding.h"
#include "http/HeaderFields.h"
#include "platform/Text.h"

namespace {

struct Answer {
  bool isHTTP10 = false;
  brim::HeaderFields headers;
  std::string_view body;
};

// The header block as libcurl hands it over line by line: folded lines join
// the field before them, a line without a colon is dropped.
Answer split(std::string_view bytes) {
  Answer answer;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    const size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
    std::string_view line = bytes.substr(pos, next - pos);
    pos = next;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.empty()) break;
    if (line.starts_with("HTTP/")) {
      answer.headers.clear();
      answer.isHTTP10 = line.starts_with("HTTP/1.0");
    } else if ((line.front() == ' ' || line.front() == '\t') && !answer.headers.empty()) {
      const size_t text = line.find_first_not_of(" \t");
      if (text == std::string_view::npos) continue;
      answer.headers.back().second += ' ';
      answer.headers.back().second += line.substr(text);
    } else if (const size_t colon = line.find(':'); colon != std::string_view::npos) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      answer.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
  }
  answer.body = bytes.substr(pos);
  return answer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Answer answer = split(std::string_view(reinterpret_cast<const char*>(data), size));

  // The encoding the body is read in: the named charset when known, else ISO-8859-1.
  std::optional<std::string> named;
  if (auto contentType = brim::headerValue(answer.headers, "Content-Type")) {
    if (auto charset = brim::charsetParameter(*contentType)) {
      if (charset->empty()) std::abort();
      named = brim::recognisedTextEncoding(*charset);
      if (named && *named != *charset) std::abort();
    }
  }
  const std::string encoding = named.value_or(std::string(brim::kISOLatin1StringEncoding));
  const std::optional<std::string> text = brim::decodeText(answer.body, encoding);
  if (text && !brim::isValidUtf8(*text)) std::abort();
  // Every byte is an ISO-8859-1 character of one or two UTF-8 bytes.
  if (!named) {
    if (!text || text->size() < answer.body.size() || text->size() > 2 * answer.body.size()) std::abort();
  }

  const auto reuse = brim::connectionReuseAllowance(answer.isHTTP10, answer.headers, std::chrono::seconds(60));
  if (reuse && reuse->count() <= 0) std::abort();
  for (const std::string& scheme : brim::challengeSchemes(answer.headers, "Proxy-Authenticate")) {
    if (scheme.empty() || scheme.find_first_of(" \t,") != std::string::npos) std::abort();
  }
  brim::headerValue(answer.headers, "Location");
  return 0;
}
