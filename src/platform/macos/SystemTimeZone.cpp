#include "platform/SystemTimeZone.h"

namespace brim {

// macOS sets the zone by pointing the local-time link into its zone
// database (/var/db/timezone/zoneinfo/<name>); there is no other record of it.
std::string SystemTimeZone::identifier() { return nameFromLocalTimeLink().value_or("UTC"); }

}  // namespace brim
