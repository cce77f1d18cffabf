#include "platform/Paths.h"

namespace brim {

// macOS has no routing table file and no zone name file, and its
// notifications go through the system's own centre: reachability comes from
// SystemConfiguration and the zone from the local-time link alone.
const std::string_view Paths::kOwnFileDescriptors = "/dev/fd";

}  // namespace brim
