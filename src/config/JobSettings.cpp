#include "config/JobSettings.h"

#include <vector>

#include "config/SectionFields.h"

namespace brim {
namespace {
using S = JobSettings;
using Text = std::optional<std::string> S::*;

// The members one request block fills, in the order of its keys.
struct RequestBlock {
  std::string_view key;
  Text primaryEncr, primary, secondaryEncr, secondary, recoveryEncr, recovery;
  Text memberID, siteID, regID, agentType;
};

const RequestBlock kBlocks[] = {
    {S::jobListRequestDictKey, &S::jobListRequestPrimarySiteEncr, &S::jobListRequestPrimarySite,
     &S::jobListRequestSecondarySiteEncr, &S::jobListRequestSecondarySite, &S::jobListRequestDataRecoverySiteEncr,
     &S::jobListRequestDataRecoverySite, &S::jobListGetDataMemberID, &S::jobListGetDataSiteID, &S::jobListGetDataRegID,
     &S::jobListGetDataAgentType},
    {S::jobDataRequestDictKey, &S::jobDataRequestPrimarySiteEncr, &S::jobDataRequestPrimarySite,
     &S::jobDataRequestSecondarySiteEncr, &S::jobDataRequestSecondarySite, &S::jobDataRequestDataRecoverySiteEncr,
     &S::jobDataRequestDataRecoverySite, &S::jobDataGetDataMemberID, &S::jobDataGetDataSiteID, &S::jobDataGetDataRegID,
     &S::jobDataGetDataAgentType},
    {S::jobDeleteDictKey, &S::jobDeleteRequestPrimarySiteEncr, &S::jobDeleteRequestPrimarySite,
     &S::jobDeleteRequestSecondarySiteEncr, &S::jobDeleteRequestSecondarySite, &S::jobDeleteRequestDataRecoverySiteEncr,
     &S::jobDeleteRequestDataRecoverySite, &S::jobDeleteGetDataMemberID, &S::jobDeleteGetDataSiteID,
     &S::jobDeleteGetDataRegID, &S::jobDeleteGetDataAgentType},
    {S::jobUpdateStatusDictKey, &S::jobUpdateRequestPrimarySiteEncr, &S::jobUpdateRequestPrimarySite,
     &S::jobUpdateRequestSecondarySiteEncr, &S::jobUpdateRequestSecondarySite, &S::jobUpdateRequestDataRecoverySiteEncr,
     &S::jobUpdateRequestDataRecoverySite, &S::jobUpdateGetDataMemberID, &S::jobUpdateGetDataSiteID,
     &S::jobUpdateGetDataRegID, &S::jobUpdateGetDataAgentType},
};

std::vector<SectionField<S>> jobFields() {
  std::vector<SectionField<S>> fields;
  for (const RequestBlock& b : kBlocks) {
    fields.push_back(field::encrypted(S::jobPrimarySiteDictKey, b.primaryEncr, b.primary).in(b.key));
    fields.push_back(field::encrypted(S::jobSecondarySiteDictKey, b.secondaryEncr, b.secondary).in(b.key));
    fields.push_back(field::encrypted(S::jobDataRecoverySiteDictKey, b.recoveryEncr, b.recovery).in(b.key));
    fields.push_back(field::text(S::jobMemberIDDictKey, b.memberID).in(b.key, S::jobGetDataDictKey));
    fields.push_back(field::text(S::jobSiteIDDictKey, b.siteID).in(b.key, S::jobGetDataDictKey));
    fields.push_back(field::text(S::jobRegIDDictKey, b.regID).in(b.key, S::jobGetDataDictKey));
    fields.push_back(field::text(S::jobAgentTypeDictKey, b.agentType).in(b.key, S::jobGetDataDictKey));
  }
  fields.push_back(field::digits(S::checkForJobIntervalInMinutesDictKey, &S::checkForJobIntervalInMinutes));
  return fields;
}

const std::vector<SectionField<S>>& kFields() {
  static const std::vector<SectionField<S>> fields = jobFields();
  return fields;
}
}  // namespace

JobSettings::JobSettings() : keyStringToDecrypt(sharedPassPhrase()) {}

bool JobSettings::initWithDictionary(plist_t dict) {
  loadSectionFields<S>(*this, kFields(), dict, asRead_, Sig::instance("JobSettings", "initWithDictionary:"), &encrypter,
                       keyStringToDecrypt);
  return true;
}

// The job runner owns this section's layout; handing back the copy as read keeps
// whatever it holds, keys this tool has never heard of included.
Plist JobSettings::dictionary() const { return Plist(asRead_ ? plist_copy(asRead_.get()) : nullptr); }

}  // namespace brim
