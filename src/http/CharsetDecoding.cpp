#include "http/CharsetDecoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace brim {
namespace {

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

// iconv reads "" as the locale's charset and "//" as conversion flags, and
// neither must come in from a response header.
bool plausibleName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == ':' || c == '+';
  });
}

Converter openToUTF8(std::string_view encoding) {
  if (!plausibleName(encoding)) return nullptr;
  const iconv_t cd = iconv_open("UTF-8", std::string(encoding).c_str());
  // (iconv_t)-1 is how iconv_open says it failed.
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;  // NOLINT(performance-no-int-to-ptr)
  return Converter(cd);
}

}  // namespace

std::optional<std::string> recognisedTextEncoding(std::string_view ianaName) {
  if (!openToUTF8(ianaName)) return std::nullopt;
  return std::string(ianaName);
}

std::optional<std::string> decodeText(std::string_view bytes, std::string_view encoding) {
  Converter converter = openToUTF8(encoding);
  if (!converter) return std::nullopt;
  std::string out;
  std::string in(bytes);
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t done = iconv(static_cast<iconv_t>(converter.get()), &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (done == static_cast<size_t>(-1) && errno != E2BIG) return std::nullopt;  // EILSEQ or a cut-off sequence
  }
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  if (iconv(static_cast<iconv_t>(converter.get()), nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
    return std::nullopt;
  out.append(buffer, static_cast<size_t>(outPtr - buffer));
  return out;
}

}  // namespace brim
