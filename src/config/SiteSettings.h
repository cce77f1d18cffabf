#pragma once
// The layout several sections share: a primary and a secondary site, stored
// encrypted, a compression flag and a "getdata" block naming query parameters.
// The sections differ in the names of the stored texts and of the encryption
// flag, which they declare themselves.
#include <optional>
#include <string>
#include <vector>

#include "config/SectionFields.h"
#include "config/SettingsSection.h"
#include "envelope/EncryptionAES.h"

namespace brim {

class SiteSettings : public SettingsSection {
 public:
  static constexpr std::string_view primarySiteDictKey = "primarysite";
  static constexpr std::string_view secondarySiteDictKey = "secondarysite";
  static constexpr std::string_view compressionDictKey = "compression";
  static constexpr std::string_view getDataDictKey = "getdata";
  static constexpr std::string_view memberIDDictKey = "memberid";
  static constexpr std::string_view siteIDDictKey = "siteid";

  std::optional<std::string> primarySite;
  std::optional<std::string> secondarySite;
  bool compression = false;
  Plist getData;
  std::optional<std::string> memberID;
  std::optional<std::string> siteID;

 protected:
  SiteSettings() : keyStringToDecrypt(sharedPassPhrase()) {}

  // The rows every site section has, given the members whose names differ.
  template <class S>
  static std::vector<SectionField<S>> siteFields(std::optional<std::string> S::*primaryStored,
                                                 std::optional<std::string> S::*secondaryStored,
                                                 std::string_view encryptionKey, bool S::*encryptionFlag) {
    return {
        field::encrypted<S>(primarySiteDictKey, primaryStored, &S::primarySite),
        field::encrypted<S>(secondarySiteDictKey, secondaryStored, &S::secondarySite),
        field::flag<S>(encryptionKey, encryptionFlag),
        field::flag<S>(compressionDictKey, &S::compression),
        field::dictionary<S>(getDataDictKey, &S::getData),
        field::text<S>(memberIDDictKey, &S::memberID).in(getDataDictKey),
        field::text<S>(siteIDDictKey, &S::siteID).in(getDataDictKey),
    };
  }
  template <class S>
  void loadSite(const std::vector<SectionField<S>>& fields, plist_t dict, const Sig& sig) {
    loadSectionFields<S>(static_cast<S&>(*this), fields, dict, asRead_, sig, &encrypter, keyStringToDecrypt);
  }
  template <class S>
  Plist writeSite(const std::vector<SectionField<S>>& fields) const {
    return writeSectionFields<S>(static_cast<const S&>(*this), fields, asRead_.get(), {});
  }

 private:
  EncryptionAES encrypter;
  std::string keyStringToDecrypt;
};

}  // namespace brim
