#pragma once
// One Ethernet card.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct EthernetInfo {
  RecordValue broadCom;
  RecordValue name;
  RecordValue type;
  RecordValue bus;
  RecordValue ethrnetvendorID;
  RecordValue deviceID;
  RecordValue subVendorID;
  RecordValue subID;
  RecordValue revisionID;
  RecordValue linkWidth;
  RecordValue bsdName;
  RecordValue kextName;
  RecordValue firmwareVersion;
  RecordValue location;
  RecordValue version;

  static constexpr std::string_view broadComXMLTag = "brdcom";
  static constexpr std::string_view nameXMLTag = "name";
  static constexpr std::string_view typeXMLTag = "type";
  static constexpr std::string_view busXMLTag = "bus";
  static constexpr std::string_view ethrnetvendorIDXMLTag = "vendorid";
  static constexpr std::string_view deviceIDXMLTag = "deviceid";
  static constexpr std::string_view subVendorIDXMLTag = "subsysvenid";
  static constexpr std::string_view subIDXMLTag = "subsysid";
  static constexpr std::string_view revisionIDXMLTag = "revisionid";
  static constexpr std::string_view linkWidthXMLTag = "lnkwidth";
  static constexpr std::string_view bsdNameXMLTag = "bsdname";
  static constexpr std::string_view kextNameXMLTag = "kxtname";
  static constexpr std::string_view firmwareVersionXMLTag = "firmwarever";
  static constexpr std::string_view locationXMLTag = "location";
  static constexpr std::string_view versionXMLTag = "ver";
};

}  // namespace brim
