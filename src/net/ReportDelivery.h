#pragma once
// A report's way to the server: the site the settings choose, its address
// made safe to parse, and up to three posts until one is answered.
#include <optional>
#include <string>

#include "net/Communications.h"
#include "platform/Signature.h"

namespace brim {

struct ReportDestination {
  std::optional<std::string> primarySite;
  std::optional<std::string> disasterRecoverySite;
  bool toDisasterRecovery = false;  // the settings send reports to the disaster-recovery site
  std::string query;                // what the web post adds to the site's address
  std::optional<ProxyRoute> proxy;  // tried first on every post
};

// Posts body to the chosen site (there is no fall-back to the other one), in
// up to three attempts until the server answers with a 2xx status, each and
// the answer logged under sig. The server's answer, empty when it had no
// text; absent when there is no site or no answer.
std::optional<std::string> deliverReport(const ReportDestination& destination, const std::string& body, const Sig& sig);

// The site address, percent-escaped (UTF-8) when it holds a blank or a tab.
std::string checkurl(const std::string& url);

}  // namespace brim
