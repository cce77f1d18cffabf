#pragma once
#include "config/SiteSettings.h"

namespace brim {

// "uninstall": the sites the uninstaller reports to, their flags and query
// parameter names, and how the uninstaller is started.
class UninstallSettings : public SiteSettings {
 public:
  std::string_view dictKey() const override { return "uninstall"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;

  static constexpr std::string_view encryptionDictKey = "encryption";
  static constexpr std::string_view regIDDictKey = "regid";
  static constexpr std::string_view agentTypeDictKey = "agenttype";
  static constexpr std::string_view executePathRelativeDictKey = "executablepathrelative";
  static constexpr std::string_view silentCommandLineArgDictKey = "silentcommandlineargument";

  std::optional<std::string> primarySiteEncrp;
  std::optional<std::string> secondarySiteEncrp;
  bool encryption = false;
  std::optional<std::string> regID;
  std::optional<std::string> agentType;
  std::optional<std::string> executePathRelative;
  std::optional<std::string> silentCommandLineArg;

 private:
  static const std::vector<SectionField<UninstallSettings>>& fields();
};

}  // namespace brim
