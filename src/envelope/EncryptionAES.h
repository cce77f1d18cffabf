#pragma once
// The pass-phrase cipher shared with the agent's other components: AES-256-CBC
// under a key derived from the pass phrase, single-line Base64 text.
//
// The other side works on ISO-8859-1 bytes while our strings are UTF-8: text
// is converted to ISO-8859-1 before encryption and back to UTF-8 after
// decryption. A character outside ISO-8859-1 (or a byte that is not valid
// UTF-8) is encrypted as "?", so such text does not come back unchanged.
#include <string>

namespace brim {

class EncryptionAES {
 public:
  // Empty in, empty out. Also empty, never half a text, should the cipher
  // library itself fail (it does not for a 32-byte key and a zero IV).
  std::string encryptChilkat(const std::string& text, const std::string& passPhrase);
  // Never fails: a wrong key or damaged text yields whatever the bytes decode
  // to, or the empty string when nothing decodes.
  std::string decryptChilkat(const std::string& text, const std::string& passPhrase);
};

}  // namespace brim
