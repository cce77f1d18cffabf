#include "platform/CryptoProvider.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>

#include "platform/LateLibrary.h"

namespace brim {
namespace {

constexpr const char* kFunctions[] = {
    "EVP_CIPHER_CTX_new",
    "EVP_CIPHER_CTX_free",
    "EVP_CIPHER_CTX_set_padding",
    "EVP_CipherInit_ex",
    "EVP_CipherUpdate",
    "EVP_CipherFinal_ex",
    "EVP_aes_256_cbc",
    "EVP_md5",
    "EVP_Digest",
};
constexpr LateLibrary::Declaration kCrypto{LateLibrary::Name::kCrypto, "libcrypto", "encrypted settings and posts fail",
                                           kFunctions};

// libcrypto's functions this file calls, resolved once.
struct Crypto {
  explicit Crypto(const LateLibrary& library)
      : ctxNew(library.function<decltype(&EVP_CIPHER_CTX_new)>("EVP_CIPHER_CTX_new")),
        ctxFree(library.function<decltype(&EVP_CIPHER_CTX_free)>("EVP_CIPHER_CTX_free")),
        setPadding(library.function<decltype(&EVP_CIPHER_CTX_set_padding)>("EVP_CIPHER_CTX_set_padding")),
        init(library.function<decltype(&EVP_CipherInit_ex)>("EVP_CipherInit_ex")),
        update(library.function<decltype(&EVP_CipherUpdate)>("EVP_CipherUpdate")),
        final(library.function<decltype(&EVP_CipherFinal_ex)>("EVP_CipherFinal_ex")),
        aes256Cbc(library.function<decltype(&EVP_aes_256_cbc)>("EVP_aes_256_cbc")),
        md5(library.function<decltype(&EVP_md5)>("EVP_md5")),
        digest(library.function<decltype(&EVP_Digest)>("EVP_Digest")) {}
  decltype(&EVP_CIPHER_CTX_new) ctxNew;
  decltype(&EVP_CIPHER_CTX_free) ctxFree;
  decltype(&EVP_CIPHER_CTX_set_padding) setPadding;
  decltype(&EVP_CipherInit_ex) init;
  decltype(&EVP_CipherUpdate) update;
  decltype(&EVP_CipherFinal_ex) final;
  decltype(&EVP_aes_256_cbc) aes256Cbc;
  decltype(&EVP_md5) md5;
  decltype(&EVP_Digest) digest;
};

const Crypto* crypto() {
  static const Crypto* const loaded = [] {
    const LateLibrary* library = LateLibrary::shared(kCrypto);
    return library ? new Crypto(*library) : nullptr;
  }();
  return loaded;
}

unsigned char* bytesOf(std::string& text) { return reinterpret_cast<unsigned char*>(text.data()); }

}  // namespace

std::optional<CryptoProvider::Digest> CryptoProvider::md5(std::string_view bytes) {
  const Crypto* c = crypto();
  if (!c) return std::nullopt;
  Digest digest{};
  unsigned int length = 0;
  if (c->digest(bytes.data(), bytes.size(), digest.data(), &length, c->md5(), nullptr) != 1 || length != digest.size())
    return std::nullopt;
  return digest;
}

std::optional<std::string> CryptoProvider::aes256Cbc(const Key& key, std::string_view blocks, bool encrypt) {
  const Crypto* c = crypto();
  if (!c || blocks.size() > static_cast<size_t>(INT_MAX) - kBlock) return std::nullopt;
  const auto freeContext = [c](EVP_CIPHER_CTX* context) { c->ctxFree(context); };
  const std::unique_ptr<EVP_CIPHER_CTX, decltype(freeContext)> context(c->ctxNew(), freeContext);
  if (!context) return std::nullopt;
  const std::array<unsigned char, kBlock> iv{};
  if (c->init(context.get(), c->aes256Cbc(), nullptr, key.data(), iv.data(), encrypt ? 1 : 0) != 1 ||
      c->setPadding(context.get(), 0) != 1)
    return std::nullopt;
  std::string out(blocks.size() + kBlock, '\0');
  int written = 0;
  int last = 0;
  if (c->update(context.get(), bytesOf(out), &written, reinterpret_cast<const unsigned char*>(blocks.data()),
                static_cast<int>(blocks.size())) != 1 ||
      c->final(context.get(), bytesOf(out) + written, &last) != 1)
    return std::nullopt;
  out.resize(static_cast<size_t>(written) + static_cast<size_t>(last));
  return out;
}

}  // namespace brim
