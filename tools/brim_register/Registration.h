#pragma once
// What the registration stand-in does: derive a stable id for this machine and
// record it, with the machine's name, in the agent's settings file.
#include <cstdint>
#include <optional>
#include <string>

namespace registration {

// A positive 64-bit id that stays the same across runs and reinstalls: from
// /etc/machine-id, else /var/lib/dbus/machine-id, else the host name and the
// first MAC address. Files are read under systemRoot ("/" on a live machine).
// Absent only when none of the three sources exists.
std::optional<int64_t> registrationId(const std::string& systemRoot);
// The short host name under systemRoot, as the software report names the machine.
std::optional<std::string> hostName(const std::string& systemRoot);

enum class Outcome { Registered, AlreadyRegistered, Failed };
// Sets "dcregid" and "machinename" in the "machineinfo" section of the settings
// file, atomically, leaving every other entry as it was. An id already present
// is kept.
Outcome registerMachine(const std::string& settingsPath, int64_t id, const std::string& machineName);

}  // namespace registration
