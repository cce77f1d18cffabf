#pragma once
// One network service.
#include <string_view>

#include "inventory/RecordValue.h"

namespace brim {

struct NetworkInfo {
  RecordValue networkName;
  RecordValue networkType;
  RecordValue networkHardware;
  RecordValue networkBSDDevideName;
  RecordValue networkIpv4ConfMethd;
  RecordValue networkIpv4Address;
  RecordValue networkIpv4IntfCname;
  RecordValue networkIpv4NtSign;
  RecordValue networkIpv4Router;
  RecordValue networkIpv4SubnetMask;
  RecordValue networkIpv6Confmethd;
  RecordValue networkProxyExcPlist;
  RecordValue networkProxyFtpPsMode;
  RecordValue networkDispterwin;
  RecordValue networkDnsServAdd;
  RecordValue networkEthMacAdd;
  RecordValue networkEthMedoption;
  RecordValue networkEthMedSubtype;
  RecordValue networkSvcorder;
  RecordValue networkDhcpDomainname;
  RecordValue networkDhcpLeaseDuration;
  RecordValue networkDhcpMsgType;
  RecordValue networkDhcpRouters;
  RecordValue networkDhcpSrvIdentifier;
  RecordValue networkDhcpSubnetmask;

  static constexpr std::string_view networkNameXMLTag = "dvcname";
  static constexpr std::string_view networkTypeXMLTag = "type";
  static constexpr std::string_view networkHardwareXMLTag = "hardware";
  static constexpr std::string_view networkBSDDevideNameXMLTag = "bsddevname";
  static constexpr std::string_view networkIpv4ConfMethdXMLTag = "ipv4confmethd";
  static constexpr std::string_view networkIpv4AddressXMLTag = "ipv4address";
  static constexpr std::string_view networkIpv4IntfCnameXMLTag = "ipv4intfcname";
  static constexpr std::string_view networkIpv4NtSignXMLTag = "ipv4ntsign";
  static constexpr std::string_view networkIpv4RouterXMLTag = "ipv4router";
  static constexpr std::string_view networkIpv4SubnetMaskXMLTag = "ipv4subnetmask";
  static constexpr std::string_view networkIpv6ConfmethdXMLTag = "ipv6confmethd";
  static constexpr std::string_view networkProxyExcPlistXMLTag = "proxyexcplist";
  static constexpr std::string_view networkProxyFtpPsModeXMLTag = "proxyftppsmode";
  static constexpr std::string_view networkDispterwinXMLTag = "dispterwin";
  static constexpr std::string_view networkDnsServAddXMLTag = "dnsservadd";
  static constexpr std::string_view networkEthMacAddXMLTag = "ethmacadd";
  static constexpr std::string_view networkEthMedoptionXMLTag = "ethmedoption";
  static constexpr std::string_view networkEthMedSubtypeXMLTag = "ethmedsubtype";
  static constexpr std::string_view networkSvcorderXMLTag = "svcorder";
  static constexpr std::string_view networkDhcpDomainnameXMLTag = "dhcpdomainname";
  static constexpr std::string_view networkDhcpLeaseDurationXMLTag = "dhcpleaseduration";
  static constexpr std::string_view networkDhcpMsgTypeXMLTag = "dhcpmsgtype";
  static constexpr std::string_view networkDhcpRoutersXMLTag = "dhcprouters";
  static constexpr std::string_view networkDhcpSrvIdentifierXMLTag = "dhcpsrvidentifier";
  static constexpr std::string_view networkDhcpSubnetmaskXMLTag = "dhcpsubnetmask";
};

}  // namespace brim
