#include "envelope/EncryptionAES.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <optional>
#include <string_view>

#include "envelope/Base64.h"

namespace brim {
namespace {

constexpr size_t kBlock = 16;
using Key = std::array<unsigned char, 32>;

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

// UTF-8 to ISO-8859-1. Code points above U+00FF and malformed sequences become
// "?", one per code point or per stray byte.
std::string toLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    size_t length = 0;
    char32_t code = 0;
    if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    }
    size_t taken = 1;
    while (length != 0 && taken < length && i + taken < utf8.size() &&
           (static_cast<unsigned char>(utf8[i + taken]) & 0xC0) == 0x80) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + taken]) & 0x3F);
      ++taken;
    }
    const bool whole = length != 0 && taken == length;
    const bool overlong = code < 0x80;
    out += (whole && !overlong && code <= 0xFF) ? static_cast<char>(code) : '?';
    i += taken;
  }
  return out;
}

// ISO-8859-1 to UTF-8: every byte is the character of the same code.
std::string fromLatin1(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size() * 2);
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

std::optional<std::array<unsigned char, 16>> md5(std::string_view bytes) {
  std::array<unsigned char, 16> digest{};
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_md5(), nullptr) != 1 ||
      length != digest.size())
    return std::nullopt;
  return digest;
}

// MD5 of the pass phrase's bytes, then MD5 of their Base64 text.
std::optional<Key> keyFromPassPhrase(const std::string& passPhrase) {
  const std::string bytes = toLatin1(passPhrase);
  const auto first = md5(bytes);
  const auto second = md5(encodeBase64(bytes));
  if (!first || !second) return std::nullopt;
  Key key{};
  std::copy(first->begin(), first->end(), key.begin());
  std::copy(second->begin(), second->end(), key.begin() + 16);
  return key;
}

// Runs AES-256-CBC with a zero IV over whole blocks; padding is ours to add
// and to cut, because decryption must not judge the padding bytes.
std::optional<std::string> runCipher(const Key& key, std::string_view input, bool encrypt) {
  if (input.size() > static_cast<size_t>(INT_MAX) - kBlock) return std::nullopt;
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return std::nullopt;
  const std::array<unsigned char, kBlock> iv{};
  if (EVP_CipherInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, key.data(), iv.data(), encrypt ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
    return std::nullopt;
  std::string out(input.size() + kBlock, '\0');
  int written = 0;
  int last = 0;
  if (EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &written,
                       reinterpret_cast<const unsigned char*>(input.data()), static_cast<int>(input.size())) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + written, &last) != 1)
    return std::nullopt;
  out.resize(static_cast<size_t>(written) + static_cast<size_t>(last));
  return out;
}

}  // namespace

std::string EncryptionAES::encryptChilkat(const std::string& text, const std::string& passPhrase) {
  std::string plain = toLatin1(text);
  if (plain.empty()) return {};
  const auto key = keyFromPassPhrase(passPhrase);
  if (!key) return {};
  const size_t pad = kBlock - plain.size() % kBlock;
  plain.append(pad, static_cast<char>(pad));
  const auto cipher = runCipher(*key, plain, true);
  return cipher ? encodeBase64(*cipher) : std::string();
}

std::string EncryptionAES::decryptChilkat(const std::string& text, const std::string& passPhrase) {
  const auto key = keyFromPassPhrase(passPhrase);
  const auto cipher = decodeBase64(text);
  if (!key || !cipher || cipher->empty()) return {};
  // A truncated text may end inside a block; only whole blocks can be decrypted.
  const std::string_view whole(cipher->data(), cipher->size() - cipher->size() % kBlock);
  auto plain = runCipher(*key, whole, false);
  if (!plain || plain->empty()) return {};
  const size_t cut = std::min<size_t>(static_cast<unsigned char>(plain->back()), plain->size());
  plain->resize(plain->size() - cut);
  return fromLatin1(*plain);
}

}  // namespace brim
