#pragma once
// The two published primitives under the pass-phrase cipher, from the
// system's own provider: OpenSSL's libcrypto on Linux (opened late), and
// CommonCrypto on macOS, which offers no libcrypto to other programs.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace brim {

class CryptoProvider {
 public:
  static constexpr std::size_t kBlock = 16;
  using Digest = std::array<unsigned char, 16>;
  using Key = std::array<unsigned char, 32>;

  // MD5 (RFC 1321); absent only when the provider fails.
  static std::optional<Digest> md5(std::string_view bytes);

  // AES-256 in CBC mode with a zero IV over whole blocks (input of a multiple
  // of kBlock bytes), with no padding added or removed: padding is the
  // caller's, as decryption must not judge it. Absent when the provider fails.
  static std::optional<std::string> aes256Cbc(const Key& key, std::string_view blocks, bool encrypt);
};

}  // namespace brim
