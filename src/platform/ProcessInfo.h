#pragma once
#include <optional>
#include <string>

namespace brim {

// Facts about the running process that the platform gives.
class ProcessInfo {
 public:
  // The name of the user the process runs as (effective uid); empty when unknown.
  static std::string userName();
  // The platform's name of the running process: the executable's file name.
  static std::string processName();
  // Tests run as the agent's other executables; absent restores the platform's name.
  static void setProcessNameForTesting(std::optional<std::string> name);

 private:
  static std::string platformProcessName();
};

}  // namespace brim
