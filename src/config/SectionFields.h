#pragma once
// A section of the settings file declared as data: one SectionField per key,
// naming the key, how its value is read and written, and the member it fills.
// loadSectionFields and writeSectionFields walk such a table, so every section
// class reads and writes its keys the same way.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Signature.h"
#include "envelope/EncryptionAES.h"
#include "platform/Plist.h"

namespace brim {

enum class FieldKind {
  Text,         // string, taken as stored
  Integer,      // property-list integer; a string of decimal digits is read too, and logged
  Digits,       // property-list integer, or a string of decimal digits
  Flag,         // property-list boolean (a number is true when non-zero; "YES", "true", "1" and their opposites logged)
  Dictionary,   // taken as stored, written back whole
  Encrypted,    // cipher text kept as stored and written back unchanged; decrypted at load
  Reencrypted,  // only the decrypted text is kept; encrypted afresh on write-back
};

template <class S>
struct SectionField {
  std::string_view key;
  FieldKind kind = FieldKind::Text;
  bool writtenBack = true;
  // The sub-dictionaries of the section that hold the key ("getdata", a request block).
  std::string_view block = {};
  std::string_view subBlock = {};
  std::optional<std::string> S::*text = nullptr;   // Text; stored text of Encrypted; value of Reencrypted
  std::optional<std::string> S::*plain = nullptr;  // decrypted value of Encrypted
  int64_t S::*integer = nullptr;
  bool S::*flag = nullptr;
  Plist S::*dictionary = nullptr;

  constexpr SectionField notWrittenBack() const {
    SectionField copy = *this;
    copy.writtenBack = false;
    return copy;
  }
  // Read from a sub-dictionary; such a key is written back with its whole block, never alone.
  constexpr SectionField in(std::string_view outer, std::string_view inner = {}) const {
    SectionField copy = *this;
    copy.block = outer;
    copy.subBlock = inner;
    copy.writtenBack = false;
    return copy;
  }
};

namespace field {
template <class S>
constexpr SectionField<S> text(std::string_view key, std::optional<std::string> S::*member) {
  return {.key = key, .kind = FieldKind::Text, .text = member};
}
template <class S>
constexpr SectionField<S> integer(std::string_view key, int64_t S::*member) {
  return {.key = key, .kind = FieldKind::Integer, .integer = member};
}
template <class S>
constexpr SectionField<S> digits(std::string_view key, int64_t S::*member) {
  return {.key = key, .kind = FieldKind::Digits, .integer = member};
}
template <class S>
constexpr SectionField<S> flag(std::string_view key, bool S::*member) {
  return {.key = key, .kind = FieldKind::Flag, .flag = member};
}
template <class S>
constexpr SectionField<S> dictionary(std::string_view key, Plist S::*member) {
  return {.key = key, .kind = FieldKind::Dictionary, .dictionary = member};
}
template <class S>
constexpr SectionField<S> encrypted(std::string_view key, std::optional<std::string> S::*stored,
                                    std::optional<std::string> S::*plain) {
  return {.key = key, .kind = FieldKind::Encrypted, .text = stored, .plain = plain};
}
template <class S>
constexpr SectionField<S> reencrypted(std::string_view key, std::optional<std::string> S::*member) {
  return {.key = key, .kind = FieldKind::Reencrypted, .text = member};
}
}  // namespace field

// The pass phrase shared with the agent's other components, compiled into the tool.
std::string sharedPassPhrase();

// Typed reads of one value of a section. A value of another type reads as absent
// (strings, dictionaries) or 0 / false, and so does a real that is no number in
// the signed 64-bit range. Read anyway: digit strings as integers, "1"/"0",
// "YES"/"NO" and "true"/"false" in any case as flags. Whatever is not of the
// field's own form is logged under sig, unless sig is null; digitsExpected makes
// digit strings a form of the field's own.
std::optional<std::string> readSectionText(plist_t node, std::string_view key, const Sig* sig);
int64_t readSectionInteger(plist_t node, std::string_view key, bool digitsExpected, const Sig* sig);
bool readSectionFlag(plist_t node, std::string_view key, const Sig* sig);
Plist readSectionDictionary(plist_t node, std::string_view key, const Sig* sig);
// The value under key, inside block and subBlock when they are given.
plist_t sectionValue(plist_t dict, std::string_view block, std::string_view subBlock, std::string_view key);
// Sets key in dict to value, or removes it when value is null.
void setSectionValue(plist_t dict, std::string_view key, Plist value);

// Fills every field of section from dict (null: every field null, 0 or false),
// decrypting with cipher and passPhrase. Keeps a copy of dict in asRead.
template <class S>
void loadSectionFields(S& section, std::span<const SectionField<S>> fields, plist_t dict, Plist& asRead, const Sig& sig,
                       EncryptionAES* cipher, const std::string& passPhrase) {
  asRead.reset(dict ? plist_copy(dict) : nullptr);
  for (const SectionField<S>& f : fields) {
    plist_t node = sectionValue(dict, f.block, f.subBlock, f.key);
    switch (f.kind) {
      case FieldKind::Text:
        section.*f.text = readSectionText(node, f.key, &sig);
        break;
      case FieldKind::Integer:
      case FieldKind::Digits:
        section.*f.integer = readSectionInteger(node, f.key, f.kind == FieldKind::Digits, &sig);
        break;
      case FieldKind::Flag:
        section.*f.flag = readSectionFlag(node, f.key, &sig);
        break;
      case FieldKind::Dictionary:
        section.*f.dictionary = readSectionDictionary(node, f.key, &sig);
        break;
      case FieldKind::Encrypted: {
        section.*f.text = readSectionText(node, f.key, &sig);
        const std::optional<std::string>& stored = section.*f.text;
        section.*f.plain = stored && cipher ? std::optional(cipher->decryptChilkat(*stored, passPhrase)) : std::nullopt;
        break;
      }
      case FieldKind::Reencrypted: {
        std::optional<std::string> stored = readSectionText(node, f.key, &sig);
        section.*f.text = stored && cipher ? std::optional(cipher->decryptChilkat(*stored, passPhrase)) : std::nullopt;
        break;
      }
    }
  }
}

// Whether the member of f still holds what the stored value reads as. Such a
// value is written back exactly as read: a digit string stays a string, a cipher
// text made with another pass phrase stays as it was, a date where a string
// belongs stays a date.
template <class S>
bool unchangedSinceRead(const S& section, const SectionField<S>& f, plist_t stored, EncryptionAES& cipher,
                        const std::string& passPhrase) {
  switch (f.kind) {
    case FieldKind::Text:
    case FieldKind::Encrypted:
      return readSectionText(stored, f.key, nullptr) == section.*f.text;
    case FieldKind::Integer:
    case FieldKind::Digits:
      return readSectionInteger(stored, f.key, true, nullptr) == section.*f.integer;
    case FieldKind::Flag:
      return readSectionFlag(stored, f.key, nullptr) == section.*f.flag;
    case FieldKind::Dictionary:
      return !(section.*f.dictionary) && plist_get_node_type(stored) != PLIST_DICT;
    case FieldKind::Reencrypted: {
      const std::optional<std::string> text = readSectionText(stored, f.key, nullptr);
      return (text ? std::optional(cipher.decryptChilkat(*text, passPhrase)) : std::nullopt) == section.*f.text;
    }
  }
  return false;
}

// The section dictionary to write back: the dictionary read (so that keys the
// section does not write are kept), with every written-back field that changed
// since set from its member, or removed when the member is null.
template <class S>
Plist writeSectionFields(const S& section, std::span<const SectionField<S>> fields, plist_t asRead,
                         const std::string& passPhrase) {
  Plist out(asRead ? plist_copy(asRead) : plist_new_dict());
  EncryptionAES cipher;
  auto textNode = [](const std::optional<std::string>& value) {
    return value ? Plist(plist_new_string(value->c_str())) : Plist();
  };
  for (const SectionField<S>& f : fields) {
    if (!f.writtenBack) continue;
    plist_t stored = plistDictItem(asRead, f.key);
    if (stored && unchangedSinceRead(section, f, stored, cipher, passPhrase)) continue;
    switch (f.kind) {
      case FieldKind::Text:
      case FieldKind::Encrypted:
        setSectionValue(out.get(), f.key, textNode(section.*f.text));
        break;
      case FieldKind::Integer:
      case FieldKind::Digits:
        setSectionValue(out.get(), f.key, Plist(plist_new_uint(static_cast<uint64_t>(section.*f.integer))));
        break;
      case FieldKind::Flag:
        setSectionValue(out.get(), f.key, Plist(plist_new_bool(section.*f.flag ? 1 : 0)));
        break;
      case FieldKind::Dictionary: {
        const Plist& value = section.*f.dictionary;
        setSectionValue(out.get(), f.key, Plist(value ? plist_copy(value.get()) : nullptr));
        break;
      }
      case FieldKind::Reencrypted: {
        const std::optional<std::string>& value = section.*f.text;
        setSectionValue(out.get(), f.key,
                        textNode(value ? std::optional(cipher.encryptChilkat(*value, passPhrase)) : std::nullopt));
        break;
      }
    }
  }
  return out;
}

}  // namespace brim
