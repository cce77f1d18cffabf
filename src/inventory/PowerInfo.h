#pragma once
// The energy settings on mains power.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct PowerInfo {
  RecordValue powerType;
  RecordValue sysSleepTimer;
  RecordValue discSleepTimer;
  RecordValue dispSleepTimer;
  RecordValue sleepOnPower;
  RecordValue autoRestart;
  RecordValue wakeOnLan;
  RecordValue curPower;
  RecordValue usesDim;
  RecordValue nwReachability;
  RecordValue kernalRestart;

  static constexpr std::string_view powerTypeXMLTag = "pwrtype";
  static constexpr std::string_view sysSleepTimerXMLTag = "sysslptimer";
  static constexpr std::string_view discSleepTimerXMLTag = "discslptimer";
  static constexpr std::string_view dispSleepTimerXMLTag = "dispslptimer";
  static constexpr std::string_view sleepOnPowerXMLTag = "slponpowerbtn";
  static constexpr std::string_view autoRestartXMLTag = "autorestart";
  static constexpr std::string_view wakeOnLanXMLTag = "wkonlan";
  static constexpr std::string_view curPowerXMLTag = "currpwrsource";
  static constexpr std::string_view usesDimXMLTag = "usesdim";
  static constexpr std::string_view nwReachabilityXMLTag = "ntwrkreachability";
  static constexpr std::string_view kernalRestartXMLTag = "kerpanicrestart";
};

}  // namespace brim
