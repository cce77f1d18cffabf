// Any text may arrive as an encrypted settings value: decryption must give a
// string for all of them, and encryption must be stable under its own
// ISO-8859-1 narrowing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "BuildConfig.h"
#include "envelope/EncryptionAES.h"
#include "platform/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  brim::EncryptionAES cipher;

  const std::string plain = cipher.decryptChilkat(input, brim::build::kPassPhrase);
  // ISO-8859-1 widened to UTF-8: never more than two bytes a character, and
  // never more characters than the Base64 text carries bytes.
  if (!brim::isValidUtf8(plain) || plain.size() > 2 * (3 * (input.size() / 4) + 3)) std::abort();

  const std::string sent = cipher.encryptChilkat(input, brim::build::kPassPhrase);
  if (input.empty() != sent.empty()) std::abort();
  const std::string received = cipher.decryptChilkat(sent, brim::build::kPassPhrase);
  if (cipher.encryptChilkat(received, brim::build::kPassPhrase) != sent) std::abort();
  return 0;
}
