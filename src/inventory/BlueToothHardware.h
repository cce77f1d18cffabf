#pragma once
// The local Bluetooth controller.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct BlueToothHardware {
  RecordValue blueToothHardwareVersion;
  RecordValue blueToothHardwareAddress;
  RecordValue blueToothHardwareManufact;
  RecordValue blueToothHardwareName;
  RecordValue blueToothHardwareFirmwareVer;
  RecordValue blueToothHardwarePower;
  RecordValue blueToothHardwareDiscoverable;
  RecordValue blueToothHardwareVendorID;
  RecordValue blueToothHardwareProductID;
  RecordValue blueToothHardwareHCIVer;
  RecordValue blueToothHardwareHCIRev;
  RecordValue blueToothHardwareLMPVer;
  RecordValue blueToothHardwareLMPSubVer;
  RecordValue blueToothHardwareMJRDevType;
  RecordValue blueToothHardwareCmpltDevType;
  RecordValue blueToothHardwareCompstClass;
  RecordValue blueToothHardwareMJRDevCls;
  RecordValue blueToothHardwareMinrDevCls;
  RecordValue blueToothHardwareSVCCls;

  static constexpr std::string_view blueToothHardwareVersionXMLTag = "blthver";
  static constexpr std::string_view blueToothHardwareAddressXMLTag = "address";
  static constexpr std::string_view blueToothHardwareManufactXMLTag = "manufacturer";
  static constexpr std::string_view blueToothHardwareNameXMLTag = "blthname";
  static constexpr std::string_view blueToothHardwareFirmwareVerXMLTag = "firmwarever";
  static constexpr std::string_view blueToothHardwarePowerXMLTag = "blthpwr";
  static constexpr std::string_view blueToothHardwareDiscoverableXMLTag = "discvrbl";
  static constexpr std::string_view blueToothHardwareVendorIDXMLTag = "vendorid";
  static constexpr std::string_view blueToothHardwareProductIDXMLTag = "prdid";
  static constexpr std::string_view blueToothHardwareHCIVerXMLTag = "hciver";
  static constexpr std::string_view blueToothHardwareHCIRevXMLTag = "hcirevision";
  static constexpr std::string_view blueToothHardwareLMPVerXMLTag = "lmpver";
  static constexpr std::string_view blueToothHardwareLMPSubVerXMLTag = "lmpsubver";
  static constexpr std::string_view blueToothHardwareMJRDevTypeXMLTag = "mjrdevtype";
  static constexpr std::string_view blueToothHardwareCmpltDevTypeXMLTag = "cmpltdevtype";
  static constexpr std::string_view blueToothHardwareCompstClassXMLTag = "compstclass";
  static constexpr std::string_view blueToothHardwareMJRDevClsXMLTag = "mjrdevcls";
  static constexpr std::string_view blueToothHardwareMinrDevClsXMLTag = "minrdevcls";
  static constexpr std::string_view blueToothHardwareSVCClsXMLTag = "svccls";
};

}  // namespace brim
