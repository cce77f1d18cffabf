#pragma once
// The system software overview.
#include <string>
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct SystemInfo {
  RecordValue systemVer;
  RecordValue kernelVer;
  RecordValue bootVolume;
  RecordValue bootMode;
  RecordValue compName;
  RecordValue userName;
  RecordValue secVirMem;
  RecordValue bitKerExt;
  RecordValue bootDuration;

  static constexpr std::string_view systemVerXMLTag = "sysver";
  static constexpr std::string_view kernelVerXMLTag = "kernlver";
  static constexpr std::string_view bootVolumeXMLTag = "bootvol";
  static constexpr std::string_view bootModeXMLTag = "btmode";
  static constexpr std::string_view compNameXMLTag = "compname";
  static constexpr std::string_view userNameXMLTag = "usrnm";
  static constexpr std::string_view secVirMemXMLTag = "svrmemory";
  static constexpr std::string_view bitKerExtXMLTag = "bkerext";
  static constexpr std::string_view bootDurationXMLTag = "btduration";
  static constexpr std::string_view systemTimeZone = "timezone";

  // The offset from GMT followed by the system zone's identifier.
  static std::string timeZone();
};

}  // namespace brim
