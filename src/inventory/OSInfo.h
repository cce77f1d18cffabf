#pragma once
// One item (a bus or device) of the Thunderbolt report.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct OSInfo {
  RecordValue vendorName;
  RecordValue deviceName;
  RecordValue uid;
  RecordValue firmwareVer;
  RecordValue portStatus;
  RecordValue portLink;
  RecordValue portFirmwareVer;

  static constexpr std::string_view vendorNameXMLTag = "vendorname";
  static constexpr std::string_view deviceNameXMLTag = "devicename";
  static constexpr std::string_view uidXMLTag = "uid";
  static constexpr std::string_view firmwareVerXMLTag = "firmwarever";
  static constexpr std::string_view portStatusXMLTag = "portstatus";
  static constexpr std::string_view portLinkXMLTag = "prtlnkstatus";
  static constexpr std::string_view portFirmwareVerXMLTag = "prtfirmwrver";
};

}  // namespace brim
