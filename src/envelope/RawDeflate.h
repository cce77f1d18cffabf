#pragma once
// Raw deflate streams (no zlib header, no checksum) on zlib, as the
// compression envelope sends them.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace brim {

// Compression level 6. Absent only when zlib itself fails.
std::optional<std::string> rawDeflate(std::string_view bytes);

// Absent when the stream is damaged, ends early, or would inflate beyond
// `limit` bytes. Bytes after the end of the stream are ignored.
std::optional<std::string> rawInflate(std::string_view stream, size_t limit);

// The same for one gzip member (a file gzip wrote), header and trailer checked.
std::optional<std::string> gzipInflate(std::string_view stream, size_t limit);

}  // namespace brim
