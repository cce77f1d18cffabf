// Memory modules, hardware overview, firewall, diagnostics and power.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>

#include "Devices.h"
#include "Readers.h"

namespace profiler {

namespace {

// One SMBIOS structure: formatted area plus its string set.
struct SmbiosEntry {
  std::string raw;
  uint8_t byte(size_t at) const { return at < formattedLength() ? static_cast<uint8_t>(raw[at]) : 0; }
  uint16_t word(size_t at) const { return static_cast<uint16_t>(byte(at) | (byte(at + 1) << 8)); }
  uint32_t dword(size_t at) const { return word(at) | (static_cast<uint32_t>(word(at + 2)) << 16); }
  size_t formattedLength() const {
    return raw.size() > 1 ? std::min<size_t>(static_cast<uint8_t>(raw[1]), raw.size()) : 0;
  }
  std::optional<std::string> string(size_t at) const {
    const uint8_t index = byte(at);
    if (index == 0) return std::nullopt;
    size_t pos = formattedLength();
    for (uint8_t i = 1; pos < raw.size(); ++i) {
      const size_t end = raw.find('\0', pos);
      if (end == std::string::npos || end == pos) return std::nullopt;
      if (i == index) {
        std::string text = trim(raw.substr(pos, end - pos));
        return text.empty() ? std::nullopt : std::optional<std::string>(text);
      }
      pos = end + 1;
    }
    return std::nullopt;
  }
};

std::vector<SmbiosEntry> smbiosEntries(const SystemRoot& root, int type) {
  std::vector<SmbiosEntry> entries;
  const std::string prefix = std::to_string(type) + "-";
  for (const auto& name : root.list("/sys/firmware/dmi/entries")) {
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    auto raw = root.readRaw("/sys/firmware/dmi/entries/" + name + "/raw");
    if (!raw || raw->size() < 4 || static_cast<uint8_t>((*raw)[0]) != type) {
      std::fprintf(stderr, "system_profiler: skipping unreadable SMBIOS entry %s\n", name.c_str());
      continue;
    }
    entries.push_back({*raw});
  }
  return entries;
}

std::optional<std::string> memoryTypeName(uint8_t code) {
  static const std::map<uint8_t, const char*> kTypes = {
      {0x03, "DRAM"},         {0x07, "RAM"},    {0x0F, "SDRAM"}, {0x12, "DDR"},   {0x13, "DDR2"},
      {0x14, "DDR2 FB-DIMM"}, {0x18, "DDR3"},   {0x1A, "DDR4"},  {0x1B, "LPDDR"}, {0x1C, "LPDDR2"},
      {0x1D, "LPDDR3"},       {0x1E, "LPDDR4"}, {0x22, "DDR5"},  {0x23, "LPDDR5"}};
  auto it = kTypes.find(code);
  return it == kTypes.end() ? std::nullopt : std::optional<std::string>(it->second);
}

// Installed size of one module in bytes; 0 for an empty slot, absent when unknown.
std::optional<uint64_t> moduleBytes(const SmbiosEntry& entry) {
  const uint16_t size = entry.word(0x0C);
  if (size == 0) return 0;
  if (size == 0xFFFF) return std::nullopt;
  if (size == 0x7FFF) return static_cast<uint64_t>(entry.dword(0x1C) & 0x7FFFFFFF) << 20;
  if (size & 0x8000) return static_cast<uint64_t>(size & 0x7FFF) << 10;
  return static_cast<uint64_t>(size) << 20;
}

std::optional<std::string> dmi(const SystemRoot& root, const std::string& field) {
  auto text = root.read("/sys/class/dmi/id/" + field);
  if (!text) return std::nullopt;
  std::string value = trim(*text);
  // Firmware placeholders are no facts.
  static const std::set<std::string> kPlaceholders = {"",
                                                      "None",
                                                      "Not Specified",
                                                      "Not Applicable",
                                                      "To be filled by O.E.M.",
                                                      "To Be Filled By O.E.M.",
                                                      "System Product Name",
                                                      "System Version",
                                                      "System Serial Number",
                                                      "Default string",
                                                      "0123456789"};
  if (kPlaceholders.count(value)) return std::nullopt;
  return value;
}

std::optional<uint64_t> memTotalBytes(const SystemRoot& root) {
  auto total = valueOf(root.lines("/proc/meminfo"), "MemTotal", ':');
  if (!total) return std::nullopt;
  auto kb = parseNumber(total->substr(0, total->find(' ')));
  return kb ? std::optional<uint64_t>(*kb * 1024) : std::nullopt;
}

// cpuinfo split into one key/value map per processor.
std::vector<std::map<std::string, std::string>> processors(const SystemRoot& root) {
  std::vector<std::map<std::string, std::string>> result(1);
  for (const auto& line : root.lines("/proc/cpuinfo")) {
    if (trim(line).empty()) {
      if (!result.back().empty()) result.emplace_back();
      continue;
    }
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    result.back()[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
  }
  if (result.back().empty()) result.pop_back();
  return result;
}

std::optional<std::string> cacheSize(const SystemRoot& root, int level) {
  const std::string base = "/sys/devices/system/cpu/cpu0/cache/";
  for (const auto& index : root.list(base)) {
    if (index.compare(0, 5, "index") != 0) continue;
    auto found = root.read(base + index + "/level");
    auto type = root.read(base + index + "/type");
    if (!found || *found != std::to_string(level) || (type && *type == "Instruction")) continue;
    auto size = root.read(base + index + "/size");  // "2048K"
    if (!size || size->empty()) continue;
    uint64_t multiplier = 1;
    std::string digits = *size;
    if (digits.back() == 'K')
      multiplier = 1024, digits.pop_back();
    else if (digits.back() == 'M')
      multiplier = 1024 * 1024, digits.pop_back();
    if (auto value = parseNumber(digits)) return binarySize(*value * multiplier);
  }
  return std::nullopt;
}

std::string frequencyText(double mhz) {
  char text[32];
  if (mhz >= 1000) {
    std::snprintf(text, sizeof text, "%.2f", mhz / 1000.0);
    std::string value = text;
    while (value.back() == '0') value.pop_back();
    if (value.back() == '.') value.pop_back();
    return value + " GHz";
  }
  std::snprintf(text, sizeof text, "%.0f MHz", mhz);
  return text;
}

std::optional<std::string> virtualisationProduct(const SystemRoot& root) {
  if (auto type = root.read("/sys/hypervisor/type")) {
    std::string name = trim(*type);
    if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name + " Virtual Machine";
  }
  const auto cpus = processors(root);
  if (!cpus.empty()) {
    auto flags = cpus.front().find("flags");
    if (flags != cpus.front().end() && (" " + flags->second + " ").find(" hypervisor ") != std::string::npos)
      return std::string("Virtual Machine");
  }
  return std::nullopt;
}

std::optional<std::string> machineIdAsUuid(const SystemRoot& root) {
  auto id = root.read("/etc/machine-id");
  if (!id || id->size() != 32) return std::nullopt;
  std::string uuid;
  for (size_t i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) uuid += '-';
    uuid += static_cast<char>(std::toupper(static_cast<unsigned char>((*id)[i])));
  }
  return uuid;
}

// Power supplies by their "type" file; device-scoped batteries (mice, pens) are not the machine's.
std::vector<std::string> powerSupplies(const SystemRoot& root, const std::string& type) {
  std::vector<std::string> found;
  for (const auto& name : root.list("/sys/class/power_supply")) {
    const std::string base = "/sys/class/power_supply/" + name;
    if (root.read(base + "/type").value_or("") != type) continue;
    if (root.read(base + "/scope").value_or("") == "Device") continue;
    found.push_back(base);
  }
  return found;
}

std::optional<int64_t> micro(const SystemRoot& root, const std::string& file, int64_t divisor) {
  auto text = root.read(file);
  if (!text) return std::nullopt;
  try {
    return std::stoll(*text) / divisor;
  } catch (...) {
    return std::nullopt;
  }
}

std::string trueFalse(bool value) { return value ? "TRUE" : "FALSE"; }

}  // namespace

std::string machineName(const SystemRoot& root) {
  std::optional<std::string> name = dmi(root, "product_name");
  if (!name) {
    if (auto model = root.read("/proc/device-tree/model"); model && !trim(*model).empty()) name = trim(*model);
  }
  if (!name) name = virtualisationProduct(root);
  return withoutSlashes(name.value_or("Linux Computer"));
}

Node readMemory(const SystemRoot& root) {
  List items;
  const auto modules = smbiosEntries(root, 17);
  if (modules.empty()) return items.take();
  std::string ecc = "ecc_disabled";
  for (const auto& array : smbiosEntries(root, 16)) {
    const uint8_t correction = array.byte(0x06);
    if (correction >= 4 && correction <= 7) ecc = "ecc_enabled";
  }
  List dimms;
  for (const auto& module : modules) {
    Dict dimm;
    const auto bank = module.string(0x11);
    const auto locator = module.string(0x10);
    dimm.set("_name", bank && locator ? *bank + "/" + *locator : bank ? bank : locator);
    const auto bytes = moduleBytes(module);
    if (bytes && *bytes == 0) {
      // An empty slot: the real tool writes "empty" in place of every fact.
      dimm.set("dimm_size", "empty").set("dimm_speed", "empty").set("dimm_status", "empty").set("dimm_type", "empty");
      dimms.append(std::move(dimm));
      continue;
    }
    if (bytes) dimm.set("dimm_size", binarySize(*bytes));
    dimm.set("dimm_type", memoryTypeName(module.byte(0x12)));
    if (const uint16_t speed = module.word(0x15); speed != 0 && speed != 0xFFFF)
      dimm.set("dimm_speed", std::to_string(speed) + " MHz");
    dimm.set("dimm_status", "ok");
    dimm.set("dimm_manufacturer", module.string(0x17));
    dimm.set("dimm_serial_number", module.string(0x18));
    dimm.set("dimm_part_number", module.string(0x1A));
    dimms.append(std::move(dimm));
  }
  items.append(Dict().set("_name", "global_name").set("global_ecc_state", ecc).setNode("_items", dimms.take()));
  return items.take();
}

Node readHardware(const SystemRoot& root) {
  Dict overview;
  overview.set("_name", "hardware_overview");
  overview.set("machine_name", machineName(root));
  overview.set("machine_model", dmi(root, "product_version"));
  overview.set("boot_rom_version", dmi(root, "bios_version"));
  overview.set("serial_number", dmi(root, "product_serial"));
  auto uuid = dmi(root, "product_uuid");
  if (uuid) std::transform(uuid->begin(), uuid->end(), uuid->begin(), [](unsigned char c) { return std::toupper(c); });
  overview.set("platform_UUID", uuid ? uuid : machineIdAsUuid(root));

  const auto cpus = processors(root);
  if (!cpus.empty()) {
    const auto& first = cpus.front();
    for (const char* key : {"model name", "Model", "Hardware", "cpu model"}) {
      if (auto it = first.find(key); it != first.end() && !it->second.empty()) {
        overview.set("cpu_type", it->second);
        break;
      }
    }
    std::optional<double> mhz;
    if (auto maxKHz = root.read("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq"))
      if (auto value = parseNumber(*maxKHz)) mhz = static_cast<double>(*value) / 1000.0;
    if (!mhz)
      if (auto it = first.find("cpu MHz"); it != first.end()) mhz = std::atof(it->second.c_str());
    if (mhz && *mhz > 0) overview.set("current_processor_speed", frequencyText(*mhz));
    std::set<std::string> packages, cores;
    for (const auto& cpu : cpus) {
      auto package = cpu.find("physical id");
      auto core = cpu.find("core id");
      const std::string packageId = package == cpu.end() ? "0" : package->second;
      packages.insert(packageId);
      cores.insert(packageId + "/" + (core == cpu.end() ? std::to_string(cores.size()) : core->second));
    }
    overview.setInteger("packages", static_cast<int64_t>(packages.size()));
    overview.setInteger("number_processors", static_cast<int64_t>(cores.size()));
  }
  overview.set("l2_cache_core", cacheSize(root, 2));
  overview.set("l3_cache", cacheSize(root, 3));

  uint64_t installed = 0;
  for (const auto& module : smbiosEntries(root, 17)) installed += moduleBytes(module).value_or(0);
  if (installed > 0)
    overview.set("physical_memory", binarySize(installed));
  else if (auto total = memTotalBytes(root))
    overview.set("physical_memory", installedMemorySize(*total));
  List items;
  items.append(std::move(overview));
  return items.take();
}

Node readFirewall(const SystemRoot& root) {
  Dict settings;
  settings.set("_name", "spfirewall_settings");
  const auto ufw = root.lines("/etc/ufw/ufw.conf");
  bool filtering = false;
  std::optional<bool> logging;
  if (!ufw.empty()) {
    filtering = valueOf(ufw, "ENABLED", '=').value_or("no") == "yes";
    logging = valueOf(ufw, "LOGLEVEL", '=').value_or("low") != "off";
  } else {
    // Without a front end, any loaded packet-filter table counts as filtering.
    for (const char* tables : {"/proc/net/ip_tables_names", "/proc/net/ip6_tables_names"})
      if (auto names = root.read(tables); names && !trim(*names).empty()) filtering = true;
  }
  settings.set("spfirewall_globalstate",
               filtering ? "spfirewall_globalstate_limit_connections" : "spfirewall_globalstate_allow_all");
  if (logging) settings.set("spfirewall_loggingenabled", *logging ? "Yes" : "No");
  List items;
  items.append(std::move(settings));
  return items.take();
}

Node readDiagnostics(const SystemRoot&) {
  // Linux keeps no record of a power-on self test.
  return List().take();
}

Node readPower(const SystemRoot& root) {
  const auto batteries = powerSupplies(root, "Battery");
  const auto mains = powerSupplies(root, "Mains");
  bool onMains = batteries.empty();
  for (const auto& supply : mains)
    if (root.read(supply + "/online").value_or("0") == "1") onMains = true;
  std::optional<std::string> charging;

  List items;
  if (!batteries.empty()) {
    const std::string& battery = batteries.front();
    const std::string status = root.read(battery + "/status").value_or("");
    charging = trueFalse(status == "Charging");
    // Charge in µAh, or energy in µWh on batteries that report energy only.
    const bool charge = root.exists(battery + "/charge_full");
    Dict chargeInfo;
    chargeInfo
        .setInteger("sppower_battery_current_capacity",
                    micro(root, battery + (charge ? "/charge_now" : "/energy_now"), 1000))
        .setInteger("sppower_battery_max_capacity",
                    micro(root, battery + (charge ? "/charge_full" : "/energy_full"), 1000))
        .set("sppower_battery_fully_charged", trueFalse(status == "Full"))
        .set("sppower_battery_is_charging", *charging);
    Dict health;
    health.setInteger("sppower_battery_cycle_count", micro(root, battery + "/cycle_count", 1));
    if (auto level = root.read(battery + "/health")) health.set("sppower_battery_health", *level);
    Dict model;
    model.set("sppower_battery_manufacturer", root.read(battery + "/manufacturer"))
        .set("sppower_battery_device_name", root.read(battery + "/model_name"))
        .set("sppower_battery_serial_number", root.read(battery + "/serial_number"));
    auto amperage = micro(root, battery + "/current_now", 1000);
    if (amperage && status == "Discharging" && *amperage > 0) amperage = -*amperage;
    items.append(Dict()
                     .set("_name", "spbattery_information")
                     .setNode("sppower_battery_charge_info", chargeInfo.take())
                     .setNode("sppower_battery_health_info", health.size() ? health.take() : nullptr)
                     .setNode("sppower_battery_model_info", model.size() ? model.take() : nullptr)
                     .set("sppower_battery_installed", "TRUE")
                     .setInteger("sppower_current_amperage", amperage)
                     .setInteger("sppower_current_voltage", micro(root, battery + "/voltage_now", 1000)));
  }

  // Energy settings: what logind does when idle or when the power key is pressed.
  const auto logind = root.lines("/etc/systemd/logind.conf");
  int64_t sleepMinutes = 0;
  if (valueOf(logind, "IdleAction", '=').value_or("ignore") == "suspend") {
    const std::string after = valueOf(logind, "IdleActionSec", '=').value_or("30min");
    sleepMinutes = std::atoll(after.c_str());
  }
  const bool sleepOnPowerKey = valueOf(logind, "HandlePowerKey", '=').value_or("poweroff") == "suspend";
  std::optional<std::string> wakeOnLan;
  for (const auto& name : root.list("/sys/class/net")) {
    if (!root.exists("/sys/class/net/" + name + "/device") || root.exists("/sys/class/net/" + name + "/wireless"))
      continue;
    if (auto wakeup = root.read("/sys/class/net/" + name + "/device/power/wakeup")) {
      wakeOnLan = *wakeup == "enabled" ? "Yes" : "No";
      break;
    }
  }
  auto settings = [&](bool current) {
    Dict dict;
    dict.setInteger("System Sleep Timer", sleepMinutes)
        .set("Sleep On Power Button", sleepOnPowerKey ? "Yes" : "No")
        .set("Wake On LAN", wakeOnLan);
    if (current) dict.set("Current Power Source", "TRUE");
    return dict.take();
  };
  Dict information;
  information.set("_name", "sppower_information").setNode("AC Power", settings(onMains));
  if (!batteries.empty()) information.setNode("Battery Power", settings(!onMains));
  items.append(std::move(information));
  items.append(Dict()
                   .set("_name", "sppower_hwconfig_information")
                   .set("sppower_ups_installed", trueFalse(!powerSupplies(root, "UPS").empty())));
  if (!mains.empty())
    items.append(Dict()
                     .set("_name", "sppower_ac_charger_information")
                     .set("sppower_battery_charger_connected", trueFalse(onMains))
                     .set("sppower_battery_is_charging", charging.value_or("FALSE")));
  return items.take();
}

}  // namespace profiler
