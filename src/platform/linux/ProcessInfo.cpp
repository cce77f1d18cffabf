#include "platform/ProcessInfo.h"

#include <errno.h>

namespace brim {

std::string ProcessInfo::platformProcessName() { return program_invocation_short_name; }

}  // namespace brim
