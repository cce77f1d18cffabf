#pragma once
// The run of the tool: user check, start delay, registration check, run lock,
// one job, lock removal, exit status.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace brim {

class TrustedFolder;

class EntryPoint {
 public:
  // What the run takes from the platform; tests replace any of them.
  struct Hooks {
    std::function<std::string()> userName;
    std::function<uint32_t()> random;           // uniformly distributed 32-bit value
    std::function<void(uint32_t)> sleepMicros;  // the start delay and the lock wait
    bool skipStartDelay = false;                // sandbox only: the delay is drawn and logged, not slept
  };
  static Hooks platformHooks();

  explicit EntryPoint(Hooks hooks) : hooks_(std::move(hooks)) {}

  // args: the command-line arguments after the program name. Returns 0 or -1.
  int run(const std::vector<std::string>& args);

  // The start delay in microseconds for a random value: 1 000 000 to 5 999 999.
  static uint32_t startDelay(uint32_t random) { return random % 5000000u + 1000000u; }

  static constexpr int kLockWaitTests = 600;
  static constexpr uint32_t kLockWaitMicros = 100000;

 private:
  // Waits up to a minute for an earlier run's lock in folder, then takes it
  // (over); the folder held open, where the lock is removed. Absent, logged,
  // when the folder is not trusted or something that is no lock file holds its name.
  std::optional<TrustedFolder> takeRunLock(const std::string& folder);
  Hooks hooks_;
};

}  // namespace brim
