#pragma once
// A network location and, in its `locSerArray`, the location's services; one class serves both.
#include <string_view>
#include <vector>

#include "inventory/RecordValue.h"

namespace brim {

struct NetworkLocations {
  std::vector<NetworkLocations> locSerArray;

  RecordValue locType;
  RecordValue activeLoc;
  RecordValue locDevName;
  RecordValue locBsdName;
  RecordValue hrdMacAddr;
  RecordValue devType;
  RecordValue ipv4CnfMethod;
  RecordValue ipv6CnfMethod;
  RecordValue proxyExcPlist;
  RecordValue proxyFTPMode;
  RecordValue pppASCPEnabled;
  RecordValue redialCount;
  RecordValue redialEnabled;
  RecordValue redialInterval;
  RecordValue useTermScript;
  RecordValue dialOnDemand;
  RecordValue disctFastSwitch;
  RecordValue idleDistconnect;
  RecordValue idleDisctTimer;
  RecordValue logOutDisct;
  RecordValue sleepDisct;
  RecordValue idleReminder;
  RecordValue idleRemTime;
  RecordValue ipcpCmprVJ;
  RecordValue lcpEchoEnbld;
  RecordValue lcpEchoFailure;
  RecordValue lcpEchoInterval;
  RecordValue logFile;
  RecordValue verboseLog;
  RecordValue ieeeName;
  RecordValue ieeeJoinMdFallBk;
  RecordValue ieeePowerEnbld;
  RecordValue ieeeRemJoinNw;

  static constexpr std::string_view locTypeXMLTag = "type";
  static constexpr std::string_view activeLocXMLTag = "activeloc";
  static constexpr std::string_view locDevNameXMLTag = "dvcname";
  static constexpr std::string_view locBsdNameXMLTag = "bsddevname";
  static constexpr std::string_view hrdMacAddrXMLTag = "hrdmacadd";
  static constexpr std::string_view devTypeXMLTag = "type";
  static constexpr std::string_view ipv4CnfMethodXMLTag = "ipv4confmethd";
  static constexpr std::string_view ipv6CnfMethodXMLTag = "ipv6confmethd";
  static constexpr std::string_view proxyExcPlistXMLTag = "proxyexcplist";
  static constexpr std::string_view proxyFTPModeXMLTag = "proxyftppsmode";
  static constexpr std::string_view pppASCPEnabledXMLTag = "pppascpenabled";
  static constexpr std::string_view redialCountXMLTag = "redialcourt";
  static constexpr std::string_view redialEnabledXMLTag = "redialenabled";
  static constexpr std::string_view redialIntervalXMLTag = "redialintrvl";
  static constexpr std::string_view useTermScriptXMLTag = "usetermscrpt";
  static constexpr std::string_view dialOnDemandXMLTag = "dialondemand";
  static constexpr std::string_view disctFastSwitchXMLTag = "disctfstuserswtch";
  static constexpr std::string_view idleDistconnectXMLTag = "idledisconnect";
  static constexpr std::string_view idleDisctTimerXMLTag = "idlediscttimer";
  static constexpr std::string_view logOutDisctXMLTag = "logoutdisct";
  static constexpr std::string_view sleepDisctXMLTag = "slpdisct";
  static constexpr std::string_view idleReminderXMLTag = "idlreminder";
  static constexpr std::string_view idleRemTimeXMLTag = "idlremindertime";
  static constexpr std::string_view ipcpCmprVJXMLTag = "ipcpcmpvj";
  static constexpr std::string_view lcpEchoEnbldXMLTag = "lcpechoenbld";
  static constexpr std::string_view lcpEchoFailureXMLTag = "lcpechofailure";
  static constexpr std::string_view lcpEchoIntervalXMLTag = "lcpechointerval";
  static constexpr std::string_view logFileXMLTag = "logfile";
  static constexpr std::string_view verboseLogXMLTag = "verbiselog";
  static constexpr std::string_view ieeeNameXMLTag = "ieeename";
  static constexpr std::string_view ieeeJoinMdFallBkXMLTag = "ieeejoinmdfallbk";
  static constexpr std::string_view ieeePowerEnbldXMLTag = "ieeepwrenabled";
  static constexpr std::string_view ieeeRemJoinNwXMLTag = "ieeeremjoinntwrks";
};

}  // namespace brim
