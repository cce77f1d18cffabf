#pragma once
// One Bluetooth sharing service.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct BlueToothServices {
  RecordValue blueToothServicesSvcname;
  RecordValue blueToothServicesFldaccItem;
  RecordValue blueToothServicesFldFileBrws;
  RecordValue blueToothServicesAuthrequire;
  RecordValue blueToothServicesState;
  RecordValue blueToothServicesStateOthrItemsAccpt;
  RecordValue blueToothServicesOthrPimItemsAccpt;
  RecordValue blueToothServicesrcvitesm;

  static constexpr std::string_view blueToothServicesSvcnameXMLTag = "svcname";
  static constexpr std::string_view blueToothServicesFldaccItemXMLTag = "fldaccitem";
  static constexpr std::string_view blueToothServicesFldFileBrwsXMLTag = "fldfilebrws";
  static constexpr std::string_view blueToothServicesAuthrequireXMLTag = "authrequire";
  static constexpr std::string_view blueToothServicesStateXMLTag = "state";
  static constexpr std::string_view blueToothServicesStateOthrItemsAccptXMLTag = "othritemsaccpt";
  static constexpr std::string_view blueToothServicesOthrPimItemsAccptXMLTag = "othrpimitemsaccpt";
  static constexpr std::string_view blueToothServicesrcvitesmXMLTag = "rcvitesm";
};

}  // namespace brim
