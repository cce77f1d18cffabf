#pragma once
// A section of the settings file declared as data: a table naming its top-level
// key, the class that names it in the log, when it is loaded and whether it is
// written back, and one SectionField per key with the form its value takes.
// SettingsSection reads and writes every section through its table.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Plist.h"
#include "platform/Signature.h"

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

struct SectionField {
  std::string_view key;
  FieldKind kind = FieldKind::Text;
  bool writtenBack = true;
  // The sub-dictionaries of the section that hold the key ("getdata", a request block).
  std::string_view block = {};
  std::string_view subBlock = {};

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
  // Whether path names this field: its key, preceded by "block/" and "subBlock/" when it has them.
  constexpr bool isNamed(std::string_view path) const {
    for (std::string_view part : {block, subBlock}) {
      if (part.empty()) continue;
      if (!path.starts_with(part) || path.substr(part.size(), 1) != "/") return false;
      path.remove_prefix(part.size() + 1);
    }
    return path == key;
  }
};

namespace field {
constexpr SectionField text(std::string_view key) { return {key, FieldKind::Text}; }
constexpr SectionField integer(std::string_view key) { return {key, FieldKind::Integer}; }
constexpr SectionField digits(std::string_view key) { return {key, FieldKind::Digits}; }
constexpr SectionField flag(std::string_view key) { return {key, FieldKind::Flag}; }
constexpr SectionField dictionary(std::string_view key) { return {key, FieldKind::Dictionary}; }
constexpr SectionField encrypted(std::string_view key) { return {key, FieldKind::Encrypted}; }
constexpr SectionField reencrypted(std::string_view key) { return {key, FieldKind::Reencrypted}; }
}  // namespace field

// The fields of one section, in the order a rebuilt dictionary adds its keys.
// Layouts that several sections share are joined with +.
class FieldList {
 public:
  static constexpr size_t kCapacity = 32;  // the largest section ("job") has 29

  constexpr FieldList(std::initializer_list<SectionField> fields) {
    for (const SectionField& f : fields) push(f);
  }
  constexpr FieldList operator+(const FieldList& more) const {
    FieldList all = *this;
    for (const SectionField& f : more) all.push(f);
    return all;
  }
  constexpr const SectionField* begin() const { return fields_.data(); }
  constexpr const SectionField* end() const { return fields_.data() + size_; }
  constexpr size_t size() const { return size_; }
  constexpr const SectionField& operator[](size_t index) const { return fields_[index]; }
  // The index of the field that path names (see SectionField::isNamed).
  constexpr std::optional<size_t> find(std::string_view path) const {
    for (size_t i = 0; i < size_; ++i) {
      if (fields_[i].isNamed(path)) return i;
    }
    return std::nullopt;
  }

 private:
  // at(): a list longer than the capacity does not compile.
  constexpr void push(const SectionField& f) { fields_.at(size_++) = f; }

  std::array<SectionField, kCapacity> fields_{};
  size_t size_ = 0;
};

enum class WriteBack {
  Rebuilt,  // the dictionary read, with the fields the section writes set from its values
  AsRead,   // the dictionary exactly as read, whatever it holds
  Never,    // the store leaves the root entry as the file had it
};

struct SectionTable {
  std::string_view key;        // top-level key of the settings file
  std::string_view className;  // names the section's operations in the log
  int loadRank = 0;            // loads fill the sections in rising rank
  WriteBack writeBack = WriteBack::Rebuilt;
  bool absentWithoutDictionary = false;  // a file without the section gives no section at all
  bool logsEachRebuild = false;          // "In DICT" each time its dictionary is rebuilt
  FieldList fields;

  // The index of a field named at compile time: a name the table lacks does not compile.
  consteval size_t field(std::string_view path) const { return fields.find(path).value(); }
};

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

}  // namespace brim
