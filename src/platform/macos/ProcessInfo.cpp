#include "platform/ProcessInfo.h"

#include <stdlib.h>

namespace brim {

std::string ProcessInfo::platformProcessName() { return ::getprogname(); }

}  // namespace brim
