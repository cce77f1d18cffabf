#pragma once
// The pass-phrase cipher shared with the agent's other components: AES-256-CBC
// under a key derived from the pass phrase, single-line Base64 text.
#include <string>

namespace brim {

class EncryptionAES {
 public:
  // Empty in, empty out.
  std::string encryptChilkat(const std::string& text, const std::string& passPhrase);
  // Never fails: a wrong key or damaged text yields whatever the bytes decode to.
  std::string decryptChilkat(const std::string& text, const std::string& passPhrase);
};

}  // namespace brim
