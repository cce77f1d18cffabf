#pragma once
// One USB device.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct USBDevices {
  RecordValue usbDevName;
  RecordValue productID;
  RecordValue usbVendorID;
  RecordValue usbVersion;
  RecordValue usbSerialNum;
  RecordValue usbSpeed;
  RecordValue usbmanufacturer;
  RecordValue usbLocID;
  RecordValue currAvailable;
  RecordValue currRequired;

  static constexpr std::string_view usbDevNameXMLTag = "devname";
  static constexpr std::string_view productIDXMLTag = "prdid";
  static constexpr std::string_view usbVendorIDXMLTag = "vendorid";
  static constexpr std::string_view usbVersionXMLTag = "version";
  static constexpr std::string_view usbSerialNumXMLTag = "srlnum";
  static constexpr std::string_view usbSpeedXMLTag = "speed";
  static constexpr std::string_view usbmanufacturerXMLTag = "manufacturer";
  static constexpr std::string_view usbLocIDXMLTag = "locid";
  static constexpr std::string_view currAvailableXMLTag = "curravlma";
  static constexpr std::string_view currRequiredXMLTag = "currreqma";
};

}  // namespace brim
