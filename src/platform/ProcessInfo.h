#pragma once
#include <string>

namespace brim {

// Facts about the running process that the platform gives.
class ProcessInfo {
 public:
  // The name of the user the process runs as (effective uid); empty when unknown.
  static std::string userName();
  // The platform's name of the running process: the executable's file name.
  static std::string processName();
};

}  // namespace brim
