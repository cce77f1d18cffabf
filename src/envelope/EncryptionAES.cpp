// Placeholder: passes text through unchanged until the cipher lands.
#include "envelope/EncryptionAES.h"

namespace brim {
std::string EncryptionAES::encryptChilkat(const std::string& text, const std::string&) { return text; }
std::string EncryptionAES::decryptChilkat(const std::string& text, const std::string&) { return text; }
}  // namespace brim
