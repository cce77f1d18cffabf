#pragma once
// The tables of the categories that describe the machine's connections:
// Ethernet, network services and locations, shared volumes, Bluetooth.
#include "inventory/BlueToothDevices.h"
#include "inventory/BlueToothHardware.h"
#include "inventory/BlueToothServices.h"
#include "inventory/Category.h"
#include "inventory/EthernetInfo.h"
#include "inventory/NetworkInfo.h"
#include "inventory/NetworkLocations.h"
#include "inventory/SharedVolume.h"

namespace brim::tables {

namespace sharedvol {
using R = SharedVolume;
inline const Category<R> kCategory{"getSharedVolInfo",
                                   "SPNetworkVolumeDataType",
                                   "autodelete_SPNetworkVolumeDataType.plist",
                                   "sharedvolinfo",
                                   {
                                       {R::volumeNameXMLTag, &R::volumeName, {"_name"}},
                                       {R::volumeTypeXMLTag, &R::volumeType, {"spnetworkvolume_fstypename"}},
                                       {R::mntPointXMLTag, &R::mntPoint, {"spnetworkvolume_fsmtnonname"}},
                                       {R::mountFromXMLTag, &R::mountFrom, {"spnetworkvolume_mntfromname"}},
                                       {R::autoMountXMLTag, &R::autoMount, {"spnetworkvolume_automounted"}},
                                   }};
}  // namespace sharedvol

namespace ethernet {
using R = EthernetInfo;
inline const Category<R> kCategory{"getEthernetInfo",
                                   "SPEthernetDataType",
                                   "autodelete_SPEthernetDataType.plist",
                                   "ethernetcrdinfo",
                                   {
                                       {R::broadComXMLTag, &R::broadCom, {"_name"}},
                                       {R::nameXMLTag, &R::name, {"spethernet_name"}},
                                       {R::typeXMLTag, &R::type, {"spethernet_device_type"}},
                                       {R::busXMLTag, &R::bus, {"spethernet_bus"}},
                                       {R::ethrnetvendorIDXMLTag, &R::ethrnetvendorID, {"spethernet_vendor-id"}},
                                       {R::deviceIDXMLTag, &R::deviceID, {"spethernet_device-id"}},
                                       {R::subVendorIDXMLTag, &R::subVendorID, {"spethernet_subsystem-vendor-id"}},
                                       {R::subIDXMLTag, &R::subID, {"spethernet_subsystem-id"}},
                                       {R::revisionIDXMLTag, &R::revisionID, {"spethernet_revision-id"}},
                                       {R::linkWidthXMLTag, &R::linkWidth, {"spethernet_link-width"}},
                                       {R::bsdNameXMLTag, &R::bsdName, {"spethernet_BSD_Name"}},
                                       {R::kextNameXMLTag, &R::kextName, {"spethernet_BUNDLE_IDentifier"}},
                                       {R::firmwareVersionXMLTag, &R::firmwareVersion, {"spethernet_FIRMWARE_VERSION"}},
                                       {R::locationXMLTag, &R::location, {"spethernet_kext_path"}},
                                       {R::versionXMLTag, &R::version, {"spethernet_version"}},
                                   }};
}  // namespace ethernet

namespace network {
using R = NetworkInfo;
inline const Category<R> kCategory{
    "getNetwokInfo",
    "SPNetworkDataType",
    "autodelete_SPNetworkDataType.plist",
    "networkinfo",
    {
        {R::networkNameXMLTag, &R::networkName, {"_name"}},
        {R::networkTypeXMLTag, &R::networkType, {"type"}},
        {R::networkHardwareXMLTag, &R::networkHardware, {"hardware"}},
        {R::networkBSDDevideNameXMLTag, &R::networkBSDDevideName, {"interface"}},
        {R::networkIpv4ConfMethdXMLTag, &R::networkIpv4ConfMethd, {"IPv4", "ConfigMethod"}},
        {R::networkIpv4AddressXMLTag, &R::networkIpv4Address, {"IPv4", "Addresses"}, Conversion::Joined},
        {R::networkIpv4IntfCnameXMLTag, &R::networkIpv4IntfCname, {"IPv4", "InterfaceName"}},
        {R::networkIpv4NtSignXMLTag, &R::networkIpv4NtSign, {"IPv4", "NetworkSignature"}},
        {R::networkIpv4RouterXMLTag, &R::networkIpv4Router, {"IPv4", "Router"}},
        {R::networkIpv4SubnetMaskXMLTag, &R::networkIpv4SubnetMask, {"IPv4", "SubnetMasks"}, Conversion::Joined},
        {R::networkIpv6ConfmethdXMLTag, &R::networkIpv6Confmethd, {"IPv6", "ConfigMethod"}},
        {R::networkProxyExcPlistXMLTag, &R::networkProxyExcPlist, {"Proxies", "ExceptionsList"}, Conversion::Joined},
        {R::networkProxyFtpPsModeXMLTag, &R::networkProxyFtpPsMode, {"Proxies", "FTPPassive"}},
        {R::networkDispterwinXMLTag, &R::networkDispterwin, {"nil"}},
        {R::networkDnsServAddXMLTag, &R::networkDnsServAdd, {"DNS", "ServerAddresses"}, Conversion::FirstElement},
        {R::networkEthMacAddXMLTag, &R::networkEthMacAdd, {"Ethernet", "MAC Address"}},
        {R::networkEthMedoptionXMLTag, &R::networkEthMedoption, {"Ethernet", "MediaOptions"}, Conversion::FirstElement},
        {R::networkEthMedSubtypeXMLTag, &R::networkEthMedSubtype, {"Ethernet", "MediaSubType"}},
        {R::networkSvcorderXMLTag, &R::networkSvcorder, {"spnetwork_service_order"}},
        {R::networkDhcpDomainnameXMLTag, &R::networkDhcpDomainname, {"dhcp", "dhcp_domain_name"}},
        {R::networkDhcpLeaseDurationXMLTag, &R::networkDhcpLeaseDuration, {"dhcp", "dhcp_lease_duration"}},
        {R::networkDhcpMsgTypeXMLTag, &R::networkDhcpMsgType, {"dhcp", "dhcp_message_type"}},
        {R::networkDhcpRoutersXMLTag, &R::networkDhcpRouters, {"dhcp", "dhcp_routers"}},
        {R::networkDhcpSrvIdentifierXMLTag, &R::networkDhcpSrvIdentifier, {"dhcp", "dhcp_server_identifier"}},
        {R::networkDhcpSubnetmaskXMLTag, &R::networkDhcpSubnetmask, {"dhcp", "dhcp_subnet_mask"}},
    }};
}  // namespace network

namespace locations {
using R = NetworkLocations;
inline const Category<R> kCategory{"getLocationsInfo",
                                   "SPNetworkLocationDataType",
                                   "autodelete_SPNetworkLocationDataType.plist",
                                   "locations",
                                   {
                                       {R::locTypeXMLTag, &R::locType, {"_name"}},
                                       {R::activeLocXMLTag, &R::activeLoc, {"spnetworklocation_isActive"}},
                                   }};
inline const Fields<R> kServiceFields{
    {R::locDevNameXMLTag, &R::locDevName, {"_name"}},
    {R::locBsdNameXMLTag, &R::locBsdName, {"bsd_device_name"}},
    {R::hrdMacAddrXMLTag, &R::hrdMacAddr, {"hardware_address"}},
    {R::devTypeXMLTag, &R::devType, {"type"}},
    {R::ipv4CnfMethodXMLTag, &R::ipv4CnfMethod, {"IPv4", "ConfigMethod"}},
    {R::ipv6CnfMethodXMLTag, &R::ipv6CnfMethod, {"IPv6", "ConfigMethod"}},
    {R::proxyExcPlistXMLTag, &R::proxyExcPlist, {"Proxies", "ExceptionsList"}, Conversion::Joined},
    {R::proxyFTPModeXMLTag, &R::proxyFTPMode, {"Proxies", "FTPPassive"}},
    {R::pppASCPEnabledXMLTag, &R::pppASCPEnabled, {"PPP", "ACSPEnabled"}},
    {R::redialCountXMLTag, &R::redialCount, {"PPP", "CommRedialCount"}},
    {R::redialEnabledXMLTag, &R::redialEnabled, {"PPP", "CommRedialEnabled"}},
    {R::redialIntervalXMLTag, &R::redialInterval, {"PPP", "CommRedialInterval"}},
    {R::useTermScriptXMLTag, &R::useTermScript, {"PPP", "CommUseTerminalScript"}},
    {R::dialOnDemandXMLTag, &R::dialOnDemand, {"PPP", "DialOnDemand"}},
    {R::disctFastSwitchXMLTag, &R::disctFastSwitch, {"PPP", "DisconnectOnFastUserSwitch"}},
    {R::idleDistconnectXMLTag, &R::idleDistconnect, {"PPP", "DisconnectOnIdle"}},
    {R::idleDisctTimerXMLTag, &R::idleDisctTimer, {"PPP", "DisconnectOnIdleTimer"}},
    {R::logOutDisctXMLTag, &R::logOutDisct, {"PPP", "DisconnectOnLogout"}},
    {R::sleepDisctXMLTag, &R::sleepDisct, {"PPP", "DisconnectOnSleep"}},
    {R::idleReminderXMLTag, &R::idleReminder, {"PPP", "IdleReminder"}},
    {R::idleRemTimeXMLTag, &R::idleRemTime, {"PPP", "IdleReminderTimer"}},
    {R::ipcpCmprVJXMLTag, &R::ipcpCmprVJ, {"PPP", "IPCPCompressionVJ"}},
    {R::lcpEchoEnbldXMLTag, &R::lcpEchoEnbld, {"PPP", "LCPEchoEnabled"}},
    {R::lcpEchoFailureXMLTag, &R::lcpEchoFailure, {"PPP", "LCPEchoFailure"}},
    {R::lcpEchoIntervalXMLTag, &R::lcpEchoInterval, {"PPP", "LCPEchoInterval"}},
    {R::logFileXMLTag, &R::logFile, {"PPP", "Logfile"}},
    {R::verboseLogXMLTag, &R::verboseLog, {"PPP", "VerboseLogging"}},
    {R::ieeeNameXMLTag, &R::ieeeName, {}},
    {R::ieeeJoinMdFallBkXMLTag, &R::ieeeJoinMdFallBk, {"IEEE80211", "JoinModeFallback"}, Conversion::FirstElement},
    {R::ieeePowerEnbldXMLTag, &R::ieeePowerEnbld, {"IEEE80211", "PowerEnabled"}},
    {R::ieeeRemJoinNwXMLTag, &R::ieeeRemJoinNw, {"IEEE80211", "RememberJoinedNetworks"}},
};
}  // namespace locations

namespace bluetooth {
inline constexpr std::string_view kDataType = "SPBluetoothDataType";
inline constexpr std::string_view kFileName = "autodelete_SPBluetoothDataType.plist";
}  // namespace bluetooth

namespace blthhardware {
using R = BlueToothHardware;
// The controller's details sit in the item's "local_device_title" dictionary.
inline const Category<R> kCategory{
    "getBlueToothHardWareInfo",
    bluetooth::kDataType,
    bluetooth::kFileName,
    "blthhardwareinfo",
    {
        {R::blueToothHardwareVersionXMLTag, &R::blueToothHardwareVersion, {"apple_bluetooth_version"}},
        {R::blueToothHardwareAddressXMLTag, &R::blueToothHardwareAddress, {"local_device_title", "general_address"}},
        {R::blueToothHardwareManufactXMLTag, &R::blueToothHardwareManufact, {"local_device_title", "general_mfg"}},
        {R::blueToothHardwareNameXMLTag, &R::blueToothHardwareName, {"local_device_title", "device_name"}},
        {R::blueToothHardwareFirmwareVerXMLTag,
         &R::blueToothHardwareFirmwareVer,
         {"local_device_title", "general_fw_version"}},
        {R::blueToothHardwarePowerXMLTag, &R::blueToothHardwarePower, {"local_device_title", "device_power"}},
        {R::blueToothHardwareDiscoverableXMLTag,
         &R::blueToothHardwareDiscoverable,
         {"local_device_title", "device_discoverable"}},
        {R::blueToothHardwareVendorIDXMLTag, &R::blueToothHardwareVendorID, {"local_device_title", "general_vendorID"}},
        {R::blueToothHardwareProductIDXMLTag,
         &R::blueToothHardwareProductID,
         {"local_device_title", "general_productID"}},
        {R::blueToothHardwareHCIVerXMLTag, &R::blueToothHardwareHCIVer, {"nil"}},
        {R::blueToothHardwareHCIRevXMLTag, &R::blueToothHardwareHCIRev, {"local_device_title", "nil"}},
        {R::blueToothHardwareLMPVerXMLTag, &R::blueToothHardwareLMPVer, {"local_device_title", "nil"}},
        {R::blueToothHardwareLMPSubVerXMLTag, &R::blueToothHardwareLMPSubVer, {"local_device_title", "nil"}},
        {R::blueToothHardwareMJRDevTypeXMLTag, &R::blueToothHardwareMJRDevType, {"local_device_title", "nil"}},
        {R::blueToothHardwareCmpltDevTypeXMLTag, &R::blueToothHardwareCmpltDevType, {"local_device_title", "nil"}},
        {R::blueToothHardwareCompstClassXMLTag, &R::blueToothHardwareCompstClass, {"local_device_title", "nil"}},
        {R::blueToothHardwareMJRDevClsXMLTag, &R::blueToothHardwareMJRDevCls, {"local_device_title", "nil"}},
        {R::blueToothHardwareMinrDevClsXMLTag, &R::blueToothHardwareMinrDevCls, {"local_device_title", "nil"}},
        {R::blueToothHardwareSVCClsXMLTag, &R::blueToothHardwareSVCCls, {"local_device_title", "nil"}},
    }};
}  // namespace blthhardware

namespace blthservices {
using R = BlueToothServices;
// Each entry is a one-key dictionary: the service's name, holding its settings.
inline const Category<R> kCategory{
    "getBlueToothServices",
    bluetooth::kDataType,
    bluetooth::kFileName,
    "blthservices",
    {
        {R::blueToothServicesSvcnameXMLTag, &R::blueToothServicesSvcname, {}},
        {R::blueToothServicesFldaccItemXMLTag, &R::blueToothServicesFldaccItem, {"service_OBEXFolder"}},
        {R::blueToothServicesFldFileBrwsXMLTag, &R::blueToothServicesFldFileBrws, {"service_FTPRootFolder"}},
        {R::blueToothServicesAuthrequireXMLTag, &R::blueToothServicesAuthrequire, {"device_authentication"}},
        {R::blueToothServicesStateXMLTag, &R::blueToothServicesState, {"service_state"}},
        {R::blueToothServicesStateOthrItemsAccptXMLTag,
         &R::blueToothServicesStateOthrItemsAccpt,
         {"service_OBEXHandle_Other"}},
        {R::blueToothServicesOthrPimItemsAccptXMLTag,
         &R::blueToothServicesOthrPimItemsAccpt,
         {"service_OBEXHandle_PIM"}},
        {R::blueToothServicesrcvitesmXMLTag, &R::blueToothServicesrcvitesm, {"service_OBEXReceive"}},
    }};
}  // namespace blthservices

namespace blthdevices {
using R = BlueToothDevices;
// Keyed by the device's name like the services; the address is not reported.
inline const Category<R> kCategory{
    "getBlueToothDevices",
    bluetooth::kDataType,
    bluetooth::kFileName,
    "blthdevices",
    {
        {R::blueToothDevicesDvcnameXMLTag, &R::blueToothDevicesDvcname, {}},
        {R::blueToothDevicesTypeXMLTag, &R::blueToothDevicesType, {"device_type"}},
        {R::blueToothDevicesFirmwareverXMLTag, &R::blueToothDevicesFirmwarever, {"general_fw_version"}},
        {R::blueToothDevicesServicesXMLTag, &R::blueToothDevicesServices, {"device_services"}},
        {R::blueToothDevicesPairedXMLTag, &R::blueToothDevicesPaired, {"device_ispaired"}},
        {R::blueToothDevicesFavoriteXMLTag, &R::blueToothDevicesFavorite, {"device_isfavorite"}},
        {R::blueToothDevicesConnectedXMLTag, &R::blueToothDevicesConnected, {"device_isconnected"}},
        {R::blueToothDevicesManufacturedXMLTag, &R::blueToothDevicesManufactured, {"device_manufacturer"}},
        {R::blueToothDevicesVendoridXMLTag, &R::blueToothDevicesVendorid, {"general_vendorID"}},
        {R::blueToothDevicesPrdidXMLTag, &R::blueToothDevicesPrdid, {"general_productID"}},
        {R::blueToothDevicesedrSupportedXMLTag, &R::blueToothDevicesedrSupported, {"device_supportsEDR"}},
        {R::blueToothDevicesesCosupportedXMLTag, &R::blueToothDevicesesCosupported, {"device_supportsESCO"}},
    }};
}  // namespace blthdevices

}  // namespace brim::tables
