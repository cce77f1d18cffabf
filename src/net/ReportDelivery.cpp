#include "net/ReportDelivery.h"

#include <string_view>

#include "platform/CustomLogger.h"
#include "platform/Text.h"

namespace brim {

std::optional<std::string> deliverReport(const ReportDestination& destination, const std::string& body,
                                         const Sig& sig) {
  const std::optional<std::string>& site =
      destination.toDisasterRecovery ? destination.disasterRecoverySite : destination.primarySite;
  std::optional<std::string> response;
  if (site) {
    Communications communications = Communications::initWithBaseURLString(checkurl(*site), destination.proxy);
    for (int attempt = 0; attempt < 3; ++attempt) {
      logAt(sig, "Retry Count=" + std::to_string(attempt));
      response = communications.sendDataToURLString(destination.query, body);
      // Answered is delivered, whatever the answer says: another post would be another copy.
      if (response) break;
    }
  }
  logAt(sig, "commResponse=" + orNull(response));
  return response;
}

std::string checkurl(const std::string& url) {
  if (url.find_first_of(" \t") == std::string::npos) return url;
  // Characters a URL may not hold become %XX per UTF-8 byte; its own separators stay.
  static constexpr std::string_view kIllegal = " \"<>\\^`{|}";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || kIllegal.find(c) != std::string_view::npos) {
      escaped += '%';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace brim
