#include "envelope/Base64.h"

#include <openssl/evp.h>

#include <memory>

namespace brim {
namespace {

struct EncodeCtxFree {
  void operator()(EVP_ENCODE_CTX* ctx) const { EVP_ENCODE_CTX_free(ctx); }
};
using EncodeCtx = std::unique_ptr<EVP_ENCODE_CTX, EncodeCtxFree>;

}  // namespace

std::string encodeBase64(std::string_view bytes) {
  if (bytes.empty()) return {};
  std::string out;
  // EVP_EncodeBlock writes one unbroken line plus a terminating NUL; feed it in
  // slices so that an int length never overflows on a huge input.
  constexpr size_t kSlice = 3 * (size_t{1} << 20);
  for (size_t at = 0; at < bytes.size(); at += kSlice) {
    const auto piece = bytes.substr(at, kSlice);
    const size_t start = out.size();
    out.resize(start + 4 * ((piece.size() + 2) / 3) + 1);
    const int written =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data() + start),
                        reinterpret_cast<const unsigned char*>(piece.data()), static_cast<int>(piece.size()));
    out.resize(start + static_cast<size_t>(written));
  }
  return out;
}

std::optional<std::string> decodeBase64(std::string_view text) {
  EncodeCtx ctx(EVP_ENCODE_CTX_new());
  if (!ctx) return std::nullopt;
  EVP_DecodeInit(ctx.get());
  std::string out;
  constexpr size_t kSlice = 1 << 20;
  for (size_t at = 0; at < text.size(); at += kSlice) {
    const auto piece = text.substr(at, kSlice);
    const size_t start = out.size();
    out.resize(start + 3 * (piece.size() / 4 + 1) + 80);
    int written = 0;
    if (EVP_DecodeUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data() + start), &written,
                         reinterpret_cast<const unsigned char*>(piece.data()), static_cast<int>(piece.size())) < 0)
      return std::nullopt;
    out.resize(start + static_cast<size_t>(written));
  }
  const size_t start = out.size();
  out.resize(start + 80);
  int written = 0;
  if (EVP_DecodeFinal(ctx.get(), reinterpret_cast<unsigned char*>(out.data() + start), &written) < 0)
    return std::nullopt;
  out.resize(start + static_cast<size_t>(written));
  return out;
}

}  // namespace brim
