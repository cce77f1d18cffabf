// Ethernet cards, network services (XML and text form) and locations.
#include <arpa/inet.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "Devices.h"
#include "Readers.h"

namespace profiler {

namespace {

struct Route {
  std::string interface;
  uint32_t destination = 0, gateway = 0, mask = 0;
  int metric = 0;
};

struct Interface {
  std::string name;
  bool wireless = false;
  bool primary = false;
  std::optional<std::string> mac;
  std::vector<std::string> ipv4, masks, ipv6;
  std::optional<std::string> router;
  std::map<std::string, std::string> lease;  // DHCP lease facts, networkd's key names
  std::optional<int64_t> speed;
  std::optional<std::string> duplex;
  std::string serviceName;
};

std::string dotted(uint32_t networkOrder) {
  in_addr address{};
  address.s_addr = networkOrder;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

std::vector<Route> routes(const SystemRoot& root) {
  std::vector<Route> result;
  const auto lines = root.lines("/proc/net/route");
  for (size_t i = 1; i < lines.size(); ++i) {
    std::istringstream in(lines[i]);
    std::string iface, destination, gateway, flags, refs, use, metric, mask;
    if (!(in >> iface >> destination >> gateway >> flags >> refs >> use >> metric >> mask)) continue;
    // /proc/net/route prints addresses as host-order hex of network-order values.
    auto d = parseNumber("0x" + destination), g = parseNumber("0x" + gateway), m = parseNumber("0x" + mask);
    if (!d || !g || !m) {
      std::fprintf(stderr, "system_profiler: skipping malformed route line\n");
      continue;
    }
    result.push_back({iface, uint32_t(*d), uint32_t(*g), uint32_t(*m), std::atoi(metric.c_str())});
  }
  return result;
}

// Local IPv4 addresses: the "/32 host LOCAL" leaves of the routing trie.
std::vector<uint32_t> localAddresses(const SystemRoot& root) {
  std::vector<uint32_t> result;
  std::string leaf;
  for (const auto& line : root.lines("/proc/net/fib_trie")) {
    const auto mark = line.find("|-- ");
    if (mark != std::string::npos) {
      leaf = trim(line.substr(mark + 4));
      continue;
    }
    if (line.find("/32 host LOCAL") == std::string::npos || leaf.empty()) continue;
    in_addr address{};
    if (inet_pton(AF_INET, leaf.c_str(), &address) != 1) continue;
    if ((ntohl(address.s_addr) >> 24) == 127) continue;
    if (std::find(result.begin(), result.end(), address.s_addr) == result.end()) result.push_back(address.s_addr);
  }
  return result;
}

std::map<std::string, std::vector<std::string>> ipv6Addresses(const SystemRoot& root) {
  std::map<std::string, std::vector<std::string>> result;
  for (const auto& line : root.lines("/proc/net/if_inet6")) {
    std::istringstream in(line);
    std::string hex, index, prefix, scope, flags, name;
    if (!(in >> hex >> index >> prefix >> scope >> flags >> name) || hex.size() != 32 ||
        hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      continue;
    in6_addr address{};
    for (int i = 0; i < 16; ++i)
      address.s6_addr[i] = static_cast<uint8_t>(std::stoi(hex.substr(i * 2, 2), nullptr, 16));
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, &address, text, sizeof text);
    result[name].push_back(text);
  }
  return result;
}

// systemd-networkd and NetworkManager's internal client write KEY=value leases;
// dhclient writes "option name value;" blocks.
std::map<std::string, std::string> dhcpLease(const SystemRoot& root, const std::string& name) {
  std::map<std::string, std::string> lease;
  std::vector<std::string> candidates;
  if (auto index = root.read("/sys/class/net/" + name + "/ifindex"))
    candidates.push_back("/run/systemd/netif/leases/" + *index);
  for (const auto& file : root.list("/var/lib/NetworkManager"))
    if (file.size() > name.size() + 6 &&
        file.compare(file.size() - name.size() - 6, name.size() + 6, "-" + name + ".lease") == 0)
      candidates.push_back("/var/lib/NetworkManager/" + file);
  for (const auto& file : candidates) {
    for (const auto& line : root.lines(file)) {
      const auto equals = line.find('=');
      if (equals != std::string::npos && line[0] != '#') lease[line.substr(0, equals)] = line.substr(equals + 1);
    }
    if (!lease.empty()) return lease;
  }
  for (const auto& file : root.list("/var/lib/dhcp")) {
    if (file.find(".leases") == std::string::npos) continue;
    std::map<std::string, std::string> block;
    bool ours = false;
    for (const auto& raw : root.lines("/var/lib/dhcp/" + file)) {
      const std::string line = trim(raw);
      if (line == "lease {")
        block.clear(), ours = false;
      else if (line == "interface \"" + name + "\";")
        ours = true;
      else if (line == "}" && ours)
        lease = block;
      else if (line.compare(0, 7, "option ") == 0 || line.compare(0, 14, "fixed-address ") == 0) {
        std::string body = line.substr(0, line.size() - (line.back() == ';' ? 1 : 0));
        if (body.compare(0, 7, "option ") == 0) body = body.substr(7);
        const auto blank = body.find(' ');
        if (blank == std::string::npos) continue;
        std::string value = body.substr(blank + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        static const std::map<std::string, std::string> kNames = {
            {"fixed-address", "ADDRESS"},    {"subnet-mask", "NETMASK"},
            {"routers", "ROUTER"},           {"dhcp-server-identifier", "SERVER_ADDRESS"},
            {"dhcp-lease-time", "LIFETIME"}, {"domain-name", "DOMAINNAME"}};
        if (auto known = kNames.find(body.substr(0, blank)); known != kNames.end()) block[known->second] = value;
      }
    }
  }
  return lease;
}

std::vector<std::string> nameServers(const SystemRoot& root, std::vector<std::string>* searchDomains) {
  std::vector<std::string> servers;
  for (const auto& line : root.lines("/etc/resolv.conf")) {
    std::istringstream in(line);
    std::string word, value;
    in >> word;
    if (word == "nameserver" && in >> value) servers.push_back(value);
    if (word == "search" && searchDomains)
      while (in >> value) searchDomains->push_back(value);
  }
  return servers;
}

bool isWireless(const SystemRoot& root, const std::string& name) {
  return root.exists("/sys/class/net/" + name + "/wireless") || root.exists("/sys/class/net/" + name + "/phy80211");
}

// The machine's network services: wired and wireless cards, and whatever
// carries the default route; the primary one first.
std::vector<Interface> interfaces(const SystemRoot& root) {
  const auto allRoutes = routes(root);
  std::optional<Route> defaultRoute;
  for (const auto& route : allRoutes)
    if (route.destination == 0 && route.mask == 0 && (!defaultRoute || route.metric < defaultRoute->metric))
      defaultRoute = route;
  const auto local = localAddresses(root);
  auto v6 = ipv6Addresses(root);

  std::vector<Interface> result;
  for (const auto& name : root.list("/sys/class/net")) {
    const std::string sys = "/sys/class/net/" + name;
    const bool primary = defaultRoute && defaultRoute->interface == name;
    const bool physical = root.exists(sys + "/device") && root.read(sys + "/type").value_or("") == "1";
    if (!physical && !primary) continue;
    Interface iface;
    iface.name = name;
    iface.primary = primary;
    iface.wireless = isWireless(root, name);
    iface.mac = root.read(sys + "/address");
    for (const auto& route : allRoutes) {
      if (route.interface != name || route.gateway != 0 || route.mask == 0) continue;
      for (uint32_t address : local)
        if ((address & route.mask) == route.destination &&
            std::find(iface.ipv4.begin(), iface.ipv4.end(), dotted(address)) == iface.ipv4.end()) {
          iface.ipv4.push_back(dotted(address));
          iface.masks.push_back(dotted(route.mask));
        }
    }
    if (primary) iface.router = dotted(defaultRoute->gateway);
    iface.ipv6 = v6[name];
    iface.lease = dhcpLease(root, name);
    if (auto speed = root.read(sys + "/speed"); speed && !speed->empty() && (*speed)[0] != '-')
      iface.speed = std::atoll(speed->c_str());
    if (auto duplex = root.read(sys + "/duplex"); duplex && (*duplex == "full" || *duplex == "half"))
      iface.duplex = duplex;
    result.push_back(iface);
  }
  std::stable_sort(result.begin(), result.end(),
                   [](const Interface& a, const Interface& b) { return a.primary > b.primary; });
  int wired = 0, wireless = 0;
  for (auto& iface : result) {
    int& count = iface.wireless ? wireless : wired;
    const std::string base = iface.wireless ? "Wi-Fi" : "Ethernet";
    iface.serviceName = ++count == 1 ? base : base + " " + std::to_string(count);
  }
  return result;
}

std::optional<std::string> leaseValue(const Interface& iface, const std::string& key) {
  auto it = iface.lease.find(key);
  return it == iface.lease.end() || it->second.empty() ? std::nullopt : std::optional<std::string>(it->second);
}

std::optional<std::string> mediaSubType(const Interface& iface) {
  if (!iface.speed || *iface.speed <= 0) return std::nullopt;
  return *iface.speed >= 1000 && *iface.speed % 1000 == 0 && *iface.speed > 1000
             ? std::to_string(*iface.speed / 1000) + "GbaseT"
             : std::to_string(*iface.speed) + "baseT";
}

std::string configMethod(const Interface& iface) {
  if (!iface.lease.empty()) return "DHCP";
  return iface.ipv4.empty() ? "Automatic" : "Manual";
}

}  // namespace

Node readEthernet(const SystemRoot& root) {
  List items;
  for (const auto& name : root.list("/sys/class/net")) {
    const std::string sys = "/sys/class/net/" + name;
    if (!root.exists(sys + "/device") || isWireless(root, name) || root.read(sys + "/type").value_or("") != "1")
      continue;
    const auto pci = pciDeviceAbove(root, sys + "/device");
    const auto usb = usbDeviceAbove(root, sys + "/device");
    const auto driver = root.linkName(sys + "/device/driver");
    auto module = root.linkName(sys + "/device/driver/module");
    if (!module) module = driver;
    std::string display = name;
    if (pci && pci->vendorName && pci->deviceName)
      display = displayName(*pci);
    else if (usb && root.read(*usb + "/product"))
      display = *root.read(*usb + "/product");
    else if (driver)
      display = *driver;
    Dict card;
    card.set("_name", display)
        .set("spethernet_BSD_Name", name)
        .set("spethernet_name", "ethernet")
        .set("spethernet_device_type", "spethernet_ethernet")
        .set("spethernet_bus", usb   ? "spethernet_usb_device"
                               : pci ? "spethernet_pci_device"
                                     : "spethernet_virtual_device")
        .set("spethernet_BUNDLE_IDentifier", module)
        .set("spethernet_kext_path", root.resolve(sys + "/device/driver"))
        .set("spethernet_mac_address", root.read(sys + "/address"));
    if (module) card.set("spethernet_version", root.read("/sys/module/" + *module + "/version"));
    if (pci && !usb) {
      card.set("spethernet_vendor-id", hexId(pci->vendor.value_or(0), 4))
          .set("spethernet_device-id", hexId(pci->device.value_or(0), 4))
          .set("spethernet_subsystem-vendor-id", hexId(pci->subVendor.value_or(0), 4))
          .set("spethernet_subsystem-id", hexId(pci->subDevice.value_or(0), 4))
          .set("spethernet_revision-id", hexId(pci->revision.value_or(0), 4))
          .set("spethernet_link-width", pci->linkWidth);
    } else if (usb) {
      auto id = [&](const char* file) -> std::optional<std::string> {
        auto text = root.read(*usb + "/" + file);
        auto value = text ? parseNumber("0x" + *text) : std::nullopt;
        return value ? std::optional<std::string>(hexId(*value, 4)) : std::nullopt;
      };
      card.set("spethernet_vendor-id", id("idVendor")).set("spethernet_device-id", id("idProduct"));
    }
    items.append(std::move(card));
  }
  return items.take();
}

Node readNetwork(const SystemRoot& root) {
  std::vector<std::string> searchDomains;
  const auto servers = nameServers(root, &searchDomains);
  List items;
  int order = 0;
  for (const auto& iface : interfaces(root)) {
    Dict ipv4;
    ipv4.setList("Addresses", iface.ipv4)
        .set("ConfigMethod", configMethod(iface))
        .set("InterfaceName", iface.name)
        .set("Router", iface.router)
        .setList("SubnetMasks", iface.masks);
    Dict ipv6;
    ipv6.setList("Addresses", iface.ipv6).set("ConfigMethod", "Automatic");
    Dict dns;
    dns.setList("ServerAddresses", servers).setList("SearchDomains", searchDomains);
    Dict ethernet;
    ethernet.set("MAC Address", iface.mac).set("MediaSubType", mediaSubType(iface));
    if (iface.duplex) ethernet.setList("MediaOptions", {*iface.duplex + "-duplex"});
    Dict dhcp;
    if (!iface.lease.empty())
      dhcp.set("dhcp_domain_name", leaseValue(iface, "DOMAINNAME"))
          .setInteger("dhcp_lease_duration",
                      leaseValue(iface, "LIFETIME")
                          ? std::optional<int64_t>(std::atoll(leaseValue(iface, "LIFETIME")->c_str()))
                          : std::nullopt)
          .set("dhcp_message_type", "0x05")  // a lease on record is an acknowledged one
          .set("dhcp_routers", leaseValue(iface, "ROUTER"))
          .set("dhcp_server_identifier", leaseValue(iface, "SERVER_ADDRESS"))
          .set("dhcp_subnet_mask", leaseValue(iface, "NETMASK"));
    Dict service;
    service.set("_name", iface.serviceName)
        .set("hardware", iface.wireless ? "AirPort" : "Ethernet")
        .set("type", iface.wireless ? "AirPort" : "Ethernet")
        .set("interface", iface.name)
        .set("ip_assigned", yesNo(!iface.ipv4.empty()))
        .setInteger("spnetwork_service_order", order++)
        .setNode("IPv4", ipv4.take())
        .setNode("IPv6", ipv6.take())
        .setNode("DNS", servers.empty() ? nullptr : dns.take())
        .setNode("Ethernet", ethernet.size() ? ethernet.take() : nullptr)
        .setNode("dhcp", dhcp.size() ? dhcp.take() : nullptr);
    items.append(std::move(service));
  }
  return items.take();
}

Node readNetworkLocations(const SystemRoot& root) {
  List services;
  for (const auto& iface : interfaces(root)) {
    Dict service;
    service.set("_name", iface.serviceName)
        .set("bsd_device_name", iface.name)
        .set("hardware_address", iface.mac)
        .set("type", iface.wireless ? "IEEE80211" : "Ethernet")
        .setNode("IPv4", Dict().set("ConfigMethod", configMethod(iface)).take())
        .setNode("IPv6", Dict().set("ConfigMethod", "Automatic").take());
    if (iface.wireless) {
      if (auto blocked = radioBlocked(root, "/sys/class/net/" + iface.name + "/phy80211"))
        service.setNode("IEEE80211", Dict().setNode("PowerEnabled", Node(plist_new_bool(!*blocked))).take());
    }
    services.append(std::move(service));
  }
  List items;
  items.append(Dict()
                   .set("_name", "Automatic")
                   .set("spnetworklocation_isActive", "yes")
                   .setNode("spnetworklocation_services", services.take()));
  return items.take();
}

std::string networkText(const SystemRoot& root) {
  std::vector<std::string> searchDomains;
  const auto servers = nameServers(root, &searchDomains);
  auto join = [](const std::vector<std::string>& values) {
    std::string text;
    for (const auto& value : values) text += (text.empty() ? "" : ", ") + value;
    return text;
  };
  std::ostringstream out;
  out << "Network:\n\n";
  int order = 0;
  for (const auto& iface : interfaces(root)) {
    const char* kind = iface.wireless ? "AirPort" : "Ethernet";
    out << "    " << iface.serviceName << ":\n\n"
        << "      Type: " << kind << "\n"
        << "      Hardware: " << kind << "\n"
        << "      BSD Device Name: " << iface.name << "\n";
    // Only the primary service carries the one-line address summary: the
    // machine-details report greps for it right below the service's name and
    // must find the address the machine is reached at, not a second card's.
    if (iface.primary && !iface.ipv4.empty()) out << "      IPv4 Addresses: " << iface.ipv4.front() << "\n";
    out << "      IPv4:\n";
    if (!iface.ipv4.empty()) out << "          Addresses: " << join(iface.ipv4) << "\n";
    out << "          ConfigMethod: " << configMethod(iface) << "\n"
        << "          InterfaceName: " << iface.name << "\n";
    if (iface.router) out << "          Router: " << *iface.router << "\n";
    if (!iface.masks.empty()) out << "          SubnetMasks: " << join(iface.masks) << "\n";
    out << "      IPv6:\n";
    if (!iface.ipv6.empty()) out << "          Addresses: " << join(iface.ipv6) << "\n";
    out << "          ConfigMethod: Automatic\n";
    if (!servers.empty()) {
      out << "      DNS:\n          Server Addresses: " << join(servers) << "\n";
      if (!searchDomains.empty()) out << "          Search Domains: " << join(searchDomains) << "\n";
    }
    if (iface.mac) {
      out << "      Ethernet:\n          MAC Address: " << *iface.mac << "\n";
      if (iface.duplex) out << "          Media Options: " << *iface.duplex << "-duplex\n";
      if (auto subtype = mediaSubType(iface)) out << "          Media Subtype: " << *subtype << "\n";
    }
    out << "      Service Order: " << order++ << "\n\n";
  }
  return out.str();
}

}  // namespace profiler
