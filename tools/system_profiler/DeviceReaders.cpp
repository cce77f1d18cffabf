// Displays, Thunderbolt, Bluetooth and USB.
#include <algorithm>
#include <map>

#include "Devices.h"
#include "Readers.h"

namespace profiler {

namespace {

std::string vendorLabel(const PciDevice& pci) {
  const std::string id = hexId(pci.vendor.value_or(0), 4);
  const auto name = vendorName(pci);
  return name ? *name + " (" + id + ")" : id;
}

// The monitor name descriptor (tag 0xFC) of an EDID block.
std::optional<std::string> edidName(const std::string& edid) {
  if (edid.size() < 128) return std::nullopt;
  for (size_t at = 54; at + 18 <= 126; at += 18) {
    if (edid[at] != 0 || edid[at + 1] != 0 || static_cast<uint8_t>(edid[at + 3]) != 0xFC) continue;
    std::string name = edid.substr(at + 5, 13);
    if (auto end = name.find('\n'); end != std::string::npos) name.resize(end);
    name = trim(name);
    if (!name.empty()) return name;
  }
  return std::nullopt;
}

std::string yesAttribute(bool value) { return value ? "spdisplays_yes" : "spdisplays_no"; }

std::string bluetoothAddress(std::string address) {
  std::transform(address.begin(), address.end(), address.begin(),
                 [](unsigned char c) { return c == ':' ? '-' : static_cast<char>(std::tolower(c)); });
  return address;
}

std::optional<std::string> hexFile(const SystemRoot& root, const std::string& path, int digits) {
  auto text = root.read(path);
  auto value = text ? parseNumber("0x" + *text) : std::nullopt;
  if (!value) return std::nullopt;
  if (digits > 0) return hexId(*value, digits);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(*value));
  return std::string(buffer);
}

std::optional<std::string> usbSpeed(const std::optional<std::string>& megabits) {
  if (!megabits) return std::nullopt;
  static const std::map<std::string, std::string> kSpeeds = {
      {"1.5", "low_speed"},    {"12", "full_speed"},          {"480", "high_speed"},
      {"5000", "super_speed"}, {"10000", "super_speed_plus"}, {"20000", "super_speed_plus_by2"}};
  auto it = kSpeeds.find(*megabits);
  return it == kSpeeds.end() ? std::nullopt : std::optional<std::string>(it->second);
}

// "1-1.2": bus 1, ports 1 then 2 -> 0x01120000, the location id the real report prints.
std::optional<std::string> usbLocation(const std::string& name, const std::optional<std::string>& devnum) {
  const auto dash = name.find('-');
  if (dash == std::string::npos) return std::nullopt;
  uint32_t location = static_cast<uint32_t>(std::atoi(name.substr(0, dash).c_str())) << 24;
  int shift = 20;
  std::string ports = name.substr(dash + 1);
  for (size_t at = 0; at <= ports.size() && shift >= 0;) {
    size_t dot = ports.find('.', at);
    if (dot == std::string::npos) dot = ports.size();
    location |= static_cast<uint32_t>(std::atoi(ports.substr(at, dot - at).c_str()) & 0xF) << shift;
    shift -= 4;
    at = dot + 1;
  }
  char text[48];
  std::snprintf(text, sizeof text, "0x%08x / %s", location, devnum.value_or("0").c_str());
  return std::string(text);
}

// Children of a USB device: "1-1" below "usb1", "1-1.2" below "1-1" (interfaces have a ':').
std::vector<std::string> usbChildren(const SystemRoot& root, const std::string& parent) {
  std::vector<std::string> children;
  const std::string dir = "/sys/bus/usb/devices/" + parent;
  for (const auto& entry : root.list(dir))
    if (entry.find(':') == std::string::npos && entry.find('-') != std::string::npos &&
        root.exists(dir + "/" + entry + "/idVendor"))
      children.push_back(entry);
  return children;
}

Node usbDevice(const SystemRoot& root, const std::string& name) {
  const std::string dir = "/sys/bus/usb/devices/" + name;
  Dict device;
  device.set("_name", root.read(dir + "/product").value_or("USB Device"))
      .set("a_product_id", hexFile(root, dir + "/idProduct", 4))
      .set("b_vendor_id", hexFile(root, dir + "/idVendor", 4))
      .set("d_serial_num", root.read(dir + "/serial"))
      .set("e_device_speed", usbSpeed(root.read(dir + "/speed")))
      .set("f_manufacturer", root.read(dir + "/manufacturer"))
      .set("g_location_id", usbLocation(name, root.read(dir + "/devnum")));
  if (auto bcd = root.read(dir + "/bcdDevice"); bcd && parseNumber("0x" + *bcd)) {
    const uint64_t value = *parseNumber("0x" + *bcd);
    char text[48];
    std::snprintf(text, sizeof text, "%2x.%02x", static_cast<unsigned>((value >> 8) & 0xff),
                  static_cast<unsigned>(value & 0xff));
    device.set("c_bcd_device", std::string(text));
  }
  // Ports offer 900 mA from USB 3 on, 500 mA before.
  const auto speed = parseNumber(root.read(dir + "/speed").value_or("0").substr(0, 5));
  device.set("h_bus_power", speed && *speed >= 5000 ? "900" : "500");
  if (auto power = root.read(dir + "/bMaxPower"))
    device.set("j_bus_power_used", std::to_string(std::atoi(power->c_str())));
  List children;
  for (const auto& child : usbChildren(root, name)) children.append(usbDevice(root, child));
  if (children.size()) device.setNode("_items", children.take());
  return device.take();
}

// "busnum" is decimal; the report prints it in hex.
std::optional<std::string> busNumber(const SystemRoot& root, const std::string& dir) {
  auto text = root.read(dir + "/busnum");
  auto value = text ? parseNumber(*text) : std::nullopt;
  return value ? std::optional<std::string>(hexId(*value, 2)) : std::nullopt;
}

// A Thunderbolt router: the host's own or a device's.
Dict router(const SystemRoot& root, const std::string& dir) {
  Dict item;
  item.set("_name", root.read(dir + "/device_name").value_or(dir.substr(dir.rfind('/') + 1)))
      .set("device_name_key", root.read(dir + "/device_name"))
      .set("vendor_name_key", root.read(dir + "/vendor_name"))
      .set("switch_uid_key", root.read(dir + "/unique_id"));
  return item;
}

}  // namespace

Node readDisplays(const SystemRoot& root) {
  List items;
  const auto entries = root.list("/sys/class/drm");
  for (const auto& card : entries) {
    if (card.compare(0, 4, "card") != 0 || card.find('-') != std::string::npos) continue;
    const std::string sys = "/sys/class/drm/" + card;
    const auto pci = pciDeviceAbove(root, sys + "/device");
    Dict gpu;
    const std::string model = pci ? (pci->deviceName ? *pci->deviceName : displayName(*pci)) : card;
    gpu.set("_name", model).set("sppci_model", model).set("sppci_device_type", "spdisplays_gpu");
    if (pci) {
      // Graphics on the root bus is the chipset's own.
      gpu.set("sppci_bus", pci->slot.compare(5, 2, "00") == 0 ? "spdisplays_builtin" : "spdisplays_pcie_device")
          .set("spdisplays_vendor", vendorLabel(*pci))
          .set("spdisplays_device-id", hexId(pci->device.value_or(0), 4))
          .set("spdisplays_revision-id", hexId(pci->revision.value_or(0), 4));
    }
    if (auto vram = root.read(sys + "/device/mem_info_vram_total"); vram && parseNumber(*vram))
      gpu.set("spdisplays_vram", binarySize(*parseNumber(*vram)));
    List displays;
    bool mainTaken = false;
    for (const auto& connector : entries) {
      if (connector.compare(0, card.size() + 1, card + "-") != 0) continue;
      const std::string dir = "/sys/class/drm/" + connector;
      if (root.read(dir + "/status").value_or("") != "connected") continue;
      const std::string port = connector.substr(card.size() + 1);
      const bool builtin =
          port.compare(0, 3, "eDP") == 0 || port.compare(0, 4, "LVDS") == 0 || port.compare(0, 3, "DSI") == 0;
      Dict display;
      display.set("_name", edidName(root.readRaw(dir + "/edid").value_or("")).value_or(port));
      const auto modes = root.lines(dir + "/modes");
      if (!modes.empty()) {
        std::string mode = trim(modes.front());
        if (auto x = mode.find('x'); x != std::string::npos) mode = mode.substr(0, x) + " x " + mode.substr(x + 1);
        display.set("spdisplays_resolution", mode).set("_spdisplays_pixels", mode);
      }
      display.set("spdisplays_builtin", yesAttribute(builtin))
          .set("spdisplays_main", yesAttribute(!mainTaken))
          .set("spdisplays_online", yesAttribute(root.read(dir + "/enabled").value_or("") == "enabled"));
      mainTaken = true;
      displays.append(std::move(display));
    }
    if (displays.size()) gpu.setNode("spdisplays_ndrvs", displays.take());
    items.append(std::move(gpu));
  }
  return items.take();
}

Node readThunderbolt(const SystemRoot& root) {
  List items;
  const std::string base = "/sys/bus/thunderbolt/devices/";
  const auto entries = root.list(base);
  for (const auto& name : entries) {
    // Host routers are "<domain>-0"; devices behind them "<domain>-<route>".
    const auto dash = name.find('-');
    if (dash == std::string::npos || name.substr(dash + 1) != "0" || name.find('.') != std::string::npos) continue;
    const std::string dir = base + name;
    const std::string domain = name.substr(0, dash);
    List devices;
    for (const auto& other : entries) {
      if (other == name || other.compare(0, domain.size() + 1, domain + "-") != 0 ||
          other.find('.') != std::string::npos || other.find(':') != std::string::npos)
        continue;
      devices.append(router(root, base + other));
    }
    Dict port;
    port.set("receptacle_status_key", devices.size() ? "receptacle_connected" : "receptacle_no_devices_connected");
    Dict controller = router(root, dir);
    controller.set("lr_version_key", root.read(dir + "/nvm_version")).setNode("receptacle_A", port.take());
    if (devices.size()) controller.setNode("_items", devices.take());
    items.append(std::move(controller));
  }
  return items.take();
}

Node readBluetooth(const SystemRoot& root) {
  List items;
  std::vector<std::string> adapters;  // BlueZ keeps one directory per adapter address
  for (const auto& entry : root.list("/var/lib/bluetooth"))
    if (entry.size() == 17 && entry[2] == ':') adapters.push_back(entry);
  size_t index = 0;
  for (const auto& name : root.list("/sys/class/bluetooth")) {
    if (name.find(':') != std::string::npos) continue;  // connections, not controllers
    const std::string sys = "/sys/class/bluetooth/" + name;
    const auto usb = usbDeviceAbove(root, sys + "/device");
    const std::optional<std::string> address = index < adapters.size() ? std::optional(adapters[index]) : std::nullopt;
    ++index;
    Dict local;
    if (usb)
      local.set("general_mfg", root.read(*usb + "/manufacturer"))
          .set("general_productID", hexFile(root, *usb + "/idProduct", 0))
          .set("general_vendorID", hexFile(root, *usb + "/idVendor", 0));
    if (auto blocked = radioBlocked(root, sys)) local.set("device_power", *blocked ? "attrib_off" : "attrib_on");
    List devices;
    if (address) {
      local.set("general_address", bluetoothAddress(*address));
      const auto settings = root.lines("/var/lib/bluetooth/" + *address + "/settings");
      if (auto discoverable = valueOf(settings, "Discoverable", '='))
        local.set("device_discoverable", *discoverable == "true" ? "attrib_on" : "attrib_off");
      local.set("device_name", valueOf(settings, "Alias", '='));
      for (const auto& peer : root.list("/var/lib/bluetooth/" + *address)) {
        if (peer.size() != 17 || peer[2] != ':') continue;
        const auto info = root.lines("/var/lib/bluetooth/" + *address + "/" + peer + "/info");
        if (info.empty()) continue;
        const bool paired = std::any_of(info.begin(), info.end(), [](const std::string& line) {
          return line == "[LinkKey]" || line == "[LongTermKey]" || line == "[PeripheralLongTermKey]";
        });
        Dict properties;
        properties.set("device_address", bluetoothAddress(peer))
            .set("device_ispaired", paired ? "attrib_Yes" : "attrib_No")
            .set("device_isconfigured",
                 valueOf(info, "Trusted", '=').value_or("false") == "true" ? "attrib_Yes" : "attrib_No");
        Dict entry;
        entry.setNode(valueOf(info, "Name", '=').value_or(peer), properties.take());
        devices.append(std::move(entry));
      }
    }
    Dict controller;
    controller.set("apple_bluetooth_version", root.read("/sys/module/bluetooth/version"))
        .setNode("local_device_title", local.take());
    if (devices.size()) controller.setNode("device_title", devices.take());
    items.append(std::move(controller));
  }
  return items.take();
}

Node readUSB(const SystemRoot& root) {
  List items;
  for (const auto& bus : root.list("/sys/bus/usb/devices")) {
    if (bus.compare(0, 3, "usb") != 0) continue;
    const std::string dir = "/sys/bus/usb/devices/" + bus;
    const auto pci = pciDeviceAbove(root, dir);
    Dict item;
    item.set("_name", root.read(dir + "/product").value_or("USB Bus")).set("usb_bus_number", busNumber(root, dir));
    if (pci)
      item.set("host_controller", pci->driver)
          .set("pci_device", hexId(pci->device.value_or(0), 4))
          .set("pci_revision", hexId(pci->revision.value_or(0), 4))
          .set("pci_vendor", hexId(pci->vendor.value_or(0), 4));
    List devices;
    for (const auto& child : usbChildren(root, bus)) devices.append(usbDevice(root, child));
    if (devices.size()) item.setNode("_items", devices.take());
    items.append(std::move(item));
  }
  return items.take();
}

}  // namespace profiler
