#include "platform/CryptoProvider.h"

#include <CommonCrypto/CommonDigest.h>

#include <limits>

#include "platform/macos/SystemFrameworks.h"

namespace brim {

std::optional<CryptoProvider::Digest> CryptoProvider::md5(std::string_view bytes) {
  if (bytes.size() > std::numeric_limits<CC_LONG>::max()) return std::nullopt;
  Digest digest{};
  // Deprecated as a hash for security; here it only derives the key the other side derives.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
  CC_MD5(bytes.data(), static_cast<CC_LONG>(bytes.size()), digest.data());
#pragma clang diagnostic pop
  return digest;
}

std::optional<std::string> CryptoProvider::aes256Cbc(const Key& key, std::string_view blocks, bool encrypt) {
  if (blocks.size() % kBlock != 0) return std::nullopt;
  const std::array<unsigned char, kBlock> iv{};
  std::string out(blocks.size(), '\0');
  std::size_t moved = 0;
  // No option: CBC mode (ECB is the option), no padding.
  const CCCryptorStatus status =
      CCCrypt(encrypt ? kCCEncrypt : kCCDecrypt, kCCAlgorithmAES, 0, key.data(), kCCKeySizeAES256, iv.data(),
              blocks.data(), blocks.size(), out.data(), out.size(), &moved);
  if (status != kCCSuccess) return std::nullopt;
  out.resize(moved);
  return out;
}

}  // namespace brim
