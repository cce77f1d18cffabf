#pragma once
// One USB bus; its `devicesArray` holds the devices found on it.
#include <string_view>
#include <vector>

#include "inventory/RecordValue.h"
#include "inventory/USBDevices.h"

namespace brim {

struct USBBus {
  std::vector<USBDevices> devicesArray;

  RecordValue usbBoard;
  RecordValue hostLocation;
  RecordValue hostDriver;
  RecordValue pciDeviceID;
  RecordValue pciRevisionId;
  RecordValue pciVendorID;
  RecordValue busNum;

  static constexpr std::string_view usbBoardXMLTag = "usbboard";
  static constexpr std::string_view hostLocationXMLTag = "hstctrllocation";
  static constexpr std::string_view hostDriverXMLTag = "hstctrldrv";
  static constexpr std::string_view pciDeviceIDXMLTag = "pcideviceid";
  static constexpr std::string_view pciRevisionIdXMLTag = "pcirevisioid";
  static constexpr std::string_view pciVendorIDXMLTag = "pcivendorid";
  static constexpr std::string_view busNumXMLTag = "busnum";
};

}  // namespace brim
