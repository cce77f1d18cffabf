#pragma once
// One optical drive.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct DiscBurning {
  RecordValue discRWName;
  RecordValue firmWareRev;
  RecordValue interConnect;
  RecordValue burnSupport;
  RecordValue cache;
  RecordValue readDVD;
  RecordValue cdWrite;
  RecordValue dvdWrite;
  RecordValue writeStrtgy;
  RecordValue media;

  static constexpr std::string_view discRWNameXMLTag = "modelname";
  static constexpr std::string_view firmWareRevXMLTag = "fmwrrevision";
  static constexpr std::string_view interConnectXMLTag = "interconnect";
  static constexpr std::string_view burnSupportXMLTag = "bursupport";
  static constexpr std::string_view cacheXMLTag = "cache";
  static constexpr std::string_view readDVDXMLTag = "readdvd";
  static constexpr std::string_view cdWriteXMLTag = "cdwrite";
  static constexpr std::string_view dvdWriteXMLTag = "dvdwrite";
  static constexpr std::string_view writeStrtgyXMLTag = "writestrtgy";
  static constexpr std::string_view mediaXMLTag = "media";
};

}  // namespace brim
