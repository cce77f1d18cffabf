#include "envelope/EncryptionAES.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "envelope/Base64.h"
#include "platform/CryptoProvider.h"
#include "platform/Text.h"

namespace brim {
namespace {

constexpr size_t kBlock = CryptoProvider::kBlock;
using Key = CryptoProvider::Key;

// UTF-8 to ISO-8859-1. Code points above U+00FF become "?", and so does every
// byte that starts no valid sequence.
std::string toLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    const auto point = nextCodePoint(utf8, pos);
    out += point && *point <= 0xFF ? static_cast<char>(*point) : '?';
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

// MD5 of the pass phrase's bytes, then MD5 of their Base64 text.
std::optional<Key> keyFromPassPhrase(const std::string& passPhrase) {
  const std::string bytes = toLatin1(passPhrase);
  const auto first = CryptoProvider::md5(bytes);
  const auto second = CryptoProvider::md5(encodeBase64(bytes));
  if (!first || !second) return std::nullopt;
  Key key{};
  std::copy(first->begin(), first->end(), key.begin());
  std::copy(second->begin(), second->end(), key.begin() + 16);
  return key;
}

}  // namespace

std::string EncryptionAES::encryptChilkat(const std::string& text, const std::string& passPhrase) {
  std::string plain = toLatin1(text);
  if (plain.empty()) return {};
  const auto key = keyFromPassPhrase(passPhrase);
  if (!key) return {};
  const size_t pad = kBlock - plain.size() % kBlock;
  plain.append(pad, static_cast<char>(pad));
  const auto cipher = CryptoProvider::aes256Cbc(*key, plain, true);
  return cipher ? encodeBase64(*cipher) : std::string();
}

std::string EncryptionAES::decryptChilkat(const std::string& text, const std::string& passPhrase) {
  const auto key = keyFromPassPhrase(passPhrase);
  const auto cipher = decodeBase64(text);
  if (!key || !cipher || cipher->empty()) return {};
  // A truncated text may end inside a block; only whole blocks can be decrypted.
  const std::string_view whole(cipher->data(), cipher->size() - cipher->size() % kBlock);
  auto plain = CryptoProvider::aes256Cbc(*key, whole, false);
  if (!plain || plain->empty()) return {};
  const size_t cut = std::min<size_t>(static_cast<unsigned char>(plain->back()), plain->size());
  plain->resize(plain->size() - cut);
  return fromLatin1(*plain);
}

}  // namespace brim
