#pragma once
// A graphics card and, in its `displayArray`, the displays attached to it; one class serves both.
#include <string_view>
#include <vector>

#include "inventory/RecordValue.h"

namespace brim {

struct GraphicInfo {
  std::vector<GraphicInfo> displayArray;

  RecordValue chipSetModel;
  RecordValue displayType;
  RecordValue displayBus;
  RecordValue pciLaneWidth;
  RecordValue VRAM;
  RecordValue vendor;
  RecordValue dispDeviceID;
  RecordValue dispRevisionID;
  RecordValue romVer;
  RecordValue efiDrvVer;
  RecordValue dispName;
  RecordValue resolution;
  RecordValue pixelDepth;
  RecordValue mainDisplay;
  RecordValue mirror;
  RecordValue online;
  RecordValue builtin;
  RecordValue connType;

  static constexpr std::string_view chipSetModelXMLTag = "chpsetmodel";
  static constexpr std::string_view displayTypeXMLTag = "type";
  static constexpr std::string_view displayBusXMLTag = "bus";
  static constexpr std::string_view pciLaneWidthXMLTag = "pcilanewidth";
  static constexpr std::string_view VRAMXMLTag = "vram";
  static constexpr std::string_view vendorXMLTag = "vendor";
  static constexpr std::string_view dispDeviceIDXMLTag = "deviceid";
  static constexpr std::string_view dispRevisionIDXMLTag = "revisionid";
  static constexpr std::string_view romVerXMLTag = "romver";
  static constexpr std::string_view efiDrvVerXMLTag = "efidrvver";
  static constexpr std::string_view dispNameXMLTag = "name";
  static constexpr std::string_view resolutionXMLTag = "resolution";
  static constexpr std::string_view pixelDepthXMLTag = "pixdepth";
  static constexpr std::string_view mainDisplayXMLTag = "maindisp";
  static constexpr std::string_view mirrorXMLTag = "mirror";
  static constexpr std::string_view onlineXMLTag = "online";
  static constexpr std::string_view builtinXMLTag = "builtin";
  static constexpr std::string_view connTypeXMLTag = "conntype";
};

}  // namespace brim
