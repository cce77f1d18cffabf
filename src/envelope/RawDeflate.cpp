#include "envelope/RawDeflate.h"

#include <zlib.h>

#include <algorithm>

namespace brim {
namespace {

constexpr int kRawWindowBits = -15;       // negative: no zlib header or trailer
constexpr int kGzipWindowBits = 16 + 15;  // 16 added: a gzip header and trailer
constexpr int kLevel = 6;
constexpr int kMemLevel = 8;

// Owns an initialised z_stream; ends it on every path out.
class ZStream {
 public:
  explicit ZStream(bool deflating, int windowBits = kRawWindowBits) : deflating_(deflating) {
    ok_ = deflating ? deflateInit2(&stream_, kLevel, Z_DEFLATED, windowBits, kMemLevel, Z_DEFAULT_STRATEGY) == Z_OK
                    : inflateInit2(&stream_, windowBits) == Z_OK;
  }
  ~ZStream() {
    if (!ok_) return;
    if (deflating_)
      deflateEnd(&stream_);
    else
      inflateEnd(&stream_);
  }
  ZStream(const ZStream&) = delete;
  ZStream& operator=(const ZStream&) = delete;

  bool ok() const { return ok_; }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
  bool deflating_;
  bool ok_ = false;
};

// zlib counts in uInt: hand it at most this much per call.
constexpr size_t kChunk = 1 << 20;

unsigned char* bytesOf(std::string_view text) {
  return reinterpret_cast<unsigned char*>(const_cast<char*>(text.data()));
}

// Inflates one stream, raw or gzip as windowBits says; absent as rawInflate says.
std::optional<std::string> inflateStream(std::string_view stream, size_t limit, int windowBits) {
  ZStream zs(false, windowBits);
  if (!zs.ok()) return std::nullopt;
  z_stream* z = zs.get();
  std::string out;
  size_t consumed = 0;
  for (;;) {
    const size_t feed = std::min(kChunk, stream.size() - consumed);
    z->next_in = bytesOf(stream.substr(consumed));
    z->avail_in = static_cast<uInt>(feed);
    const size_t start = out.size();
    const size_t room = std::min(kChunk, limit - start + 1);  // one byte more tells an overlong stream
    out.resize(start + room);
    z->next_out = reinterpret_cast<unsigned char*>(out.data() + start);
    z->avail_out = static_cast<uInt>(room);
    const int status = inflate(z, Z_NO_FLUSH);
    out.resize(start + room - z->avail_out);
    consumed += feed - z->avail_in;
    if (out.size() > limit) return std::nullopt;
    if (status == Z_STREAM_END) return out;
    // Every Z_OK made progress; anything else (Z_BUF_ERROR once the input
    // is used up) means a damaged or unfinished stream.
    if (status != Z_OK) return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> rawDeflate(std::string_view bytes) {
  ZStream zs(true);
  if (!zs.ok()) return std::nullopt;
  z_stream* stream = zs.get();
  std::string out;
  size_t consumed = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    const size_t feed = std::min(kChunk, bytes.size() - consumed);
    stream->next_in = bytesOf(bytes.substr(consumed));
    stream->avail_in = static_cast<uInt>(feed);
    const bool last = consumed + feed == bytes.size();
    do {
      const size_t start = out.size();
      out.resize(start + kChunk);
      stream->next_out = reinterpret_cast<unsigned char*>(out.data() + start);
      stream->avail_out = static_cast<uInt>(kChunk);
      status = deflate(stream, last ? Z_FINISH : Z_NO_FLUSH);
      out.resize(start + kChunk - stream->avail_out);
      if (status == Z_STREAM_ERROR) return std::nullopt;
    } while (stream->avail_out == 0 || (last && status != Z_STREAM_END));
    consumed += feed - stream->avail_in;
  }
  return out;
}

std::optional<std::string> rawInflate(std::string_view stream, size_t limit) {
  return inflateStream(stream, limit, kRawWindowBits);
}

std::optional<std::string> gzipInflate(std::string_view stream, size_t limit) {
  return inflateStream(stream, limit, kGzipWindowBits);
}

}  // namespace brim
