#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "config/SettingsSection.h"
#include "envelope/EncryptionAES.h"

namespace brim {

// "job": the four job request blocks of the agent's job runner, each with three
// sites (stored encrypted) and the names of its query parameters. The section is
// written back exactly as read, whatever it holds.
class JobSettings : public SettingsSection {
 public:
  JobSettings();
  std::string_view dictKey() const override { return "job"; }
  bool initWithDictionary(plist_t dict) override;
  Plist dictionary() const override;  // the dictionary as read; null when the file had none

  static constexpr std::string_view jobListRequestDictKey = "jobrequestlist";
  static constexpr std::string_view jobDataRequestDictKey = "jobrequestdata";
  static constexpr std::string_view jobDeleteDictKey = "jobdelete";
  static constexpr std::string_view jobUpdateStatusDictKey = "jobupdatestatus";
  static constexpr std::string_view jobPrimarySiteDictKey = "primarysite";
  static constexpr std::string_view jobSecondarySiteDictKey = "secondarysite";
  static constexpr std::string_view jobDataRecoverySiteDictKey = "datarecoverysite";
  static constexpr std::string_view jobGetDataDictKey = "getdata";
  static constexpr std::string_view jobMemberIDDictKey = "memberid";
  static constexpr std::string_view jobSiteIDDictKey = "siteid";
  static constexpr std::string_view jobRegIDDictKey = "regid";
  static constexpr std::string_view jobAgentTypeDictKey = "agenttype";
  static constexpr std::string_view checkForJobIntervalInMinutesDictKey = "checkforjobinterval";

  std::optional<std::string> jobListRequestPrimarySiteEncr;
  std::optional<std::string> jobListRequestPrimarySite;
  std::optional<std::string> jobListRequestSecondarySiteEncr;
  std::optional<std::string> jobListRequestSecondarySite;
  std::optional<std::string> jobListRequestDataRecoverySiteEncr;
  std::optional<std::string> jobListRequestDataRecoverySite;
  std::optional<std::string> jobListGetDataMemberID;
  std::optional<std::string> jobListGetDataSiteID;
  std::optional<std::string> jobListGetDataRegID;
  std::optional<std::string> jobListGetDataAgentType;

  std::optional<std::string> jobDataRequestPrimarySiteEncr;
  std::optional<std::string> jobDataRequestPrimarySite;
  std::optional<std::string> jobDataRequestSecondarySiteEncr;
  std::optional<std::string> jobDataRequestSecondarySite;
  std::optional<std::string> jobDataRequestDataRecoverySiteEncr;
  std::optional<std::string> jobDataRequestDataRecoverySite;
  std::optional<std::string> jobDataGetDataMemberID;
  std::optional<std::string> jobDataGetDataSiteID;
  std::optional<std::string> jobDataGetDataRegID;
  std::optional<std::string> jobDataGetDataAgentType;

  std::optional<std::string> jobDeleteRequestPrimarySiteEncr;
  std::optional<std::string> jobDeleteRequestPrimarySite;
  std::optional<std::string> jobDeleteRequestSecondarySiteEncr;
  std::optional<std::string> jobDeleteRequestSecondarySite;
  std::optional<std::string> jobDeleteRequestDataRecoverySiteEncr;
  std::optional<std::string> jobDeleteRequestDataRecoverySite;
  std::optional<std::string> jobDeleteGetDataMemberID;
  std::optional<std::string> jobDeleteGetDataSiteID;
  std::optional<std::string> jobDeleteGetDataRegID;
  std::optional<std::string> jobDeleteGetDataAgentType;

  std::optional<std::string> jobUpdateRequestPrimarySiteEncr;
  std::optional<std::string> jobUpdateRequestPrimarySite;
  std::optional<std::string> jobUpdateRequestSecondarySiteEncr;
  std::optional<std::string> jobUpdateRequestSecondarySite;
  std::optional<std::string> jobUpdateRequestDataRecoverySiteEncr;
  std::optional<std::string> jobUpdateRequestDataRecoverySite;
  std::optional<std::string> jobUpdateGetDataMemberID;
  std::optional<std::string> jobUpdateGetDataSiteID;
  std::optional<std::string> jobUpdateGetDataRegID;
  std::optional<std::string> jobUpdateGetDataAgentType;

  int64_t checkForJobIntervalInMinutes = 0;

 private:
  EncryptionAES encrypter;
  std::string keyStringToDecrypt;
};

}  // namespace brim
