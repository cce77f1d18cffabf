#include "platform/Paths.h"

namespace brim {

const std::string_view Paths::kOwnFileDescriptors = "/proc/self/fd";
const std::string_view Paths::kRouteTable = "/proc/net/route";
const std::string_view Paths::kTimeZoneNameFile = "/etc/timezone";
const std::string_view Paths::kNotificationDir = "/var/run/brimvault/notifications";

}  // namespace brim
