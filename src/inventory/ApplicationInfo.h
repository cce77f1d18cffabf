#pragma once
// One installed application.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct ApplicationInfo {
  RecordValue appName;
  RecordValue appVersion;
  RecordValue lastModified;
  RecordValue kind;
  RecordValue intel64Bit;
  RecordValue getInfoString;
  RecordValue appStore;
  RecordValue appLocation;

  static constexpr std::string_view appNameXMLTag = "appname";
  static constexpr std::string_view appVersionXMLTag = "appver";
  static constexpr std::string_view lastModifiedXMLTag = "lastmodified";
  static constexpr std::string_view kindXMLTag = "kind";
  static constexpr std::string_view intel64BitXMLTag = "intel64bit";
  static constexpr std::string_view getInfoStringXMLTag = "getinfostring";
  static constexpr std::string_view appStoreXMLTag = "appstore";
  static constexpr std::string_view appLocationXMLTag = "location";
};

}  // namespace brim
