#include "config/SettingsSection.h"

#include <utility>

#include "envelope/EncryptionAES.h"
#include "platform/CustomLogger.h"

namespace brim {
namespace {

std::optional<std::string> decrypted(const std::optional<std::string>& stored, EncryptionAES& cipher,
                                     const std::string& passPhrase) {
  return stored ? std::optional(cipher.decryptChilkat(*stored, passPhrase)) : std::nullopt;
}

// Whether v still holds what the stored value reads as.
bool unchangedSinceRead(const SectionField& f, const FieldValue& v, plist_t stored, EncryptionAES& cipher,
                        const std::string& passPhrase) {
  switch (f.kind) {
    case FieldKind::Text:
      return readSectionText(stored, f.key, nullptr) == v.text;
    case FieldKind::Encrypted:
      return readSectionText(stored, f.key, nullptr) == v.stored;
    case FieldKind::Integer:
    case FieldKind::Digits:
      return readSectionInteger(stored, f.key, true, nullptr) == v.integer;
    case FieldKind::Flag:
      return readSectionFlag(stored, f.key, nullptr) == v.flag;
    case FieldKind::Dictionary:
      if (!v.dictionary || plist_get_node_type(stored) != PLIST_DICT) {
        return !v.dictionary && plist_get_node_type(stored) != PLIST_DICT;
      }
      return plistToXml(v.dictionary.get()) == plistToXml(stored);
    case FieldKind::Reencrypted:
      return decrypted(readSectionText(stored, f.key, nullptr), cipher, passPhrase) == v.text;
  }
  return false;
}

Plist textNode(const std::optional<std::string>& value) {
  return value ? Plist(plist_new_string(value->c_str())) : Plist();
}

}  // namespace

SettingsSection::SettingsSection(const SectionTable& table) : table_(&table), values_(table.fields.size()) {}

bool SettingsSection::initWithDictionary(plist_t dict) {
  const Sig sig = Sig::instance(table_->className, "initWithDictionary:");
  const std::string passPhrase = sharedPassPhrase();
  EncryptionAES cipher;  // one cipher object per load
  asRead_.reset(dict ? plist_copy(dict) : nullptr);
  for (size_t i = 0; i < values_.size(); ++i) {
    const SectionField& f = table_->fields[i];
    FieldValue& v = values_[i] = {};
    plist_t node = sectionValue(dict, f.block, f.subBlock, f.key);
    switch (f.kind) {
      case FieldKind::Text:
        v.text = readSectionText(node, f.key, &sig);
        break;
      case FieldKind::Integer:
      case FieldKind::Digits:
        v.integer = readSectionInteger(node, f.key, f.kind == FieldKind::Digits, &sig);
        break;
      case FieldKind::Flag:
        v.flag = readSectionFlag(node, f.key, &sig);
        break;
      case FieldKind::Dictionary:
        v.dictionary = readSectionDictionary(node, f.key, &sig);
        break;
      case FieldKind::Encrypted:
        v.stored = readSectionText(node, f.key, &sig);
        v.text = decrypted(v.stored, cipher, passPhrase);
        break;
      case FieldKind::Reencrypted:
        v.text = decrypted(readSectionText(node, f.key, &sig), cipher, passPhrase);
        break;
    }
  }
  return dict || !table_->absentWithoutDictionary;
}

void SettingsSection::writeChangesInto(plist_t out) const {
  if (table_->logsEachRebuild) logAt(Sig::instance(table_->className, "dictionary"), "In DICT");
  if (table_->writeBack != WriteBack::Rebuilt) return;
  const std::string passPhrase = sharedPassPhrase();
  EncryptionAES cipher;
  for (size_t i = 0; i < values_.size(); ++i) {
    const SectionField& f = table_->fields[i];
    const FieldValue& v = values_[i];
    if (!f.writtenBack) continue;
    // A key the section lacked reads as null, 0 or false: holding that is no change either.
    if (unchangedSinceRead(f, v, plistDictItem(asRead_.get(), f.key), cipher, passPhrase)) continue;
    Plist node;
    switch (f.kind) {
      case FieldKind::Text:
        node = textNode(v.text);
        break;
      case FieldKind::Encrypted:
        node = textNode(v.stored);
        break;
      case FieldKind::Integer:
      case FieldKind::Digits:
        node = Plist(plist_new_uint(static_cast<uint64_t>(v.integer)));
        break;
      case FieldKind::Flag:
        node = Plist(plist_new_bool(v.flag ? 1 : 0));
        break;
      case FieldKind::Dictionary:
        node = Plist(v.dictionary ? plist_copy(v.dictionary.get()) : nullptr);
        break;
      case FieldKind::Reencrypted:
        node = textNode(v.text ? std::optional(cipher.encryptChilkat(*v.text, passPhrase)) : std::nullopt);
        break;
    }
    setSectionValue(out, f.key, std::move(node));
  }
}

const FieldValue* SettingsSection::find(std::string_view path) const {
  const std::optional<size_t> index = table_->fields.find(path);
  return index ? &values_[*index] : nullptr;
}

FieldValue* SettingsSection::find(std::string_view path) {
  return const_cast<FieldValue*>(std::as_const(*this).find(path));
}

}  // namespace brim
