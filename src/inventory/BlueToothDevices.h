#pragma once
// One known Bluetooth device.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct BlueToothDevices {
  RecordValue blueToothDevicesDvcname;
  RecordValue blueToothDevicesAddress;
  RecordValue blueToothDevicesType;
  RecordValue blueToothDevicesFirmwarever;
  RecordValue blueToothDevicesServices;
  RecordValue blueToothDevicesPaired;
  RecordValue blueToothDevicesFavorite;
  RecordValue blueToothDevicesConnected;
  RecordValue blueToothDevicesManufactured;
  RecordValue blueToothDevicesVendorid;
  RecordValue blueToothDevicesPrdid;
  RecordValue blueToothDevicesedrSupported;
  RecordValue blueToothDevicesesCosupported;

  static constexpr std::string_view blueToothDevicesDvcnameXMLTag = "dvcname";
  static constexpr std::string_view blueToothDevicesAddressXMLTag = "address";
  static constexpr std::string_view blueToothDevicesTypeXMLTag = "type";
  static constexpr std::string_view blueToothDevicesFirmwareverXMLTag = "firmwarever";
  static constexpr std::string_view blueToothDevicesServicesXMLTag = "services";
  static constexpr std::string_view blueToothDevicesPairedXMLTag = "paired";
  static constexpr std::string_view blueToothDevicesFavoriteXMLTag = "favorite";
  static constexpr std::string_view blueToothDevicesConnectedXMLTag = "connected";
  static constexpr std::string_view blueToothDevicesManufacturedXMLTag = "manufacturer";
  static constexpr std::string_view blueToothDevicesVendoridXMLTag = "vendorid";
  static constexpr std::string_view blueToothDevicesPrdidXMLTag = "prdid";
  static constexpr std::string_view blueToothDevicesedrSupportedXMLTag = "edrsupported";
  static constexpr std::string_view blueToothDevicesesCosupportedXMLTag = "escosupported";
};

}  // namespace brim
