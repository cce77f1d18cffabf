#pragma once
// The inventory's categories, each read top to bottom like the document it
// produces: the profiler data type, the temporary file, the "fnname" text and
// the fields of its records in the order they are written. The walker
// (CategoryWalker.h) builds every category from these tables; the collectors
// (collectData.cpp) say only how the records nest.
#include "inventory/ApplicationInfo.h"
#include "inventory/BlueToothDevices.h"
#include "inventory/BlueToothHardware.h"
#include "inventory/BlueToothServices.h"
#include "inventory/CardReaderInfo.h"
#include "inventory/Category.h"
#include "inventory/DiscBurning.h"
#include "inventory/DiskInfo.h"
#include "inventory/EthernetInfo.h"
#include "inventory/FireWall.h"
#include "inventory/GraphicInfo.h"
#include "inventory/HardwareConfig.h"
#include "inventory/HardwareInfo.h"
#include "inventory/MemoryInfo.h"
#include "inventory/NetworkInfo.h"
#include "inventory/NetworkLocations.h"
#include "inventory/OSInfo.h"
#include "inventory/PowerInfo.h"
#include "inventory/SelfTestInfo.h"
#include "inventory/SharedVolume.h"
#include "inventory/SystemInfo.h"
#include "inventory/USBBus.h"

namespace brim::tables {

namespace memory {
using R = MemoryInfo;
inline const Category<R> kCategory{"getMemoryInfo",
                                   "SPMemoryDataType",
                                   "autodelete_SPMemoryDataType.plist",
                                   "memoryinfo",
                                   {{R::slotXMLTag, &R::slot, {"_name"}},
                                    {R::sizeXMLTag, &R::size, {"dimm_size"}, Conversion::ByteValue},
                                    {R::memtypeXMLTag, &R::type, {"dimm_type"}},
                                    {R::speedXMLTag, &R::speed, {"dimm_speed"}},
                                    {R::statusXMLTag, &R::status, {"dimm_status"}},
                                    {R::manufactureXMLTag, &R::manufacture, {"dimm_manufacturer"}},
                                    {R::partNumberXMLTag, &R::partNumber, {"dimm_part_number"}},
                                    {R::serialNumberXMLTag, &R::serialNumber, {"dimm_serial_number"}}}};
// The group's ECC state opens every module's record.
inline const Fields<R> kGroupFields{{R::eccXMLTag, &R::ecc, {"global_ecc_state"}}};
}  // namespace memory

namespace hardware {
using R = HardwareInfo;
inline const Category<R> kCategory{"getHardwareInfo",
                                   "SPHardwareDataType",
                                   "autodelete_SPHardwareDataType.plist",
                                   "hardwareinfo",
                                   {{R::modelNameXMLTag, &R::modelName, {"machine_name"}},
                                    {R::modelIdentifierXMLTag, &R::modelIdentifier, {"machine_model"}},
                                    {R::processorNameXMLTag, &R::processorName, {"cpu_type"}},
                                    {R::processorSpeedXMLTag, &R::processorSpeed, {"current_processor_speed"}},
                                    {R::numProcessorsXMLTag, &R::numProcessors, {"packages"}},
                                    {R::numCoresXMLTag, &R::numCores, {"number_processors"}},
                                    {R::l2CacheXMLTag, &R::l2Cache, {"l2_cache_core"}, Conversion::ByteValue},
                                    {R::l3CacheXMLTag, &R::l3Cache, {"l3_cache"}, Conversion::ByteValue},
                                    {R::memoryXMLTag, &R::memory, {"physical_memory"}, Conversion::ByteValue},
                                    {R::bootRomVerXMLTag, &R::bootRomVer, {"boot_rom_version"}},
                                    {R::smcVersionXMLTag, &R::smcVersion, {"SMC_version_system"}},
                                    {R::serialNumXMLTag, &R::serialNum, {"serial_number"}},
                                    {R::hardwareUUIDXMLTag, &R::hardwareUUID, {"platform_UUID"}}}};
}  // namespace hardware

namespace firewall {
using R = FireWall;
inline const Category<R> kCategory{"getFirewallInfo",
                                   "SPFirewallDataType",
                                   "autodelete_SPFirewallDataType.plist",
                                   "firewall",
                                   {{R::fwModeXMLTag, &R::fwMode, {"spfirewall_globalstate"}},
                                    {R::fwLogXMLTag, &R::fwLog, {"spfirewall_loggingenabled"}},
                                    {R::fwStealthModeXMLTag, &R::fwStealthMode, {"spfirewall_stealthenabled"}}}};
}  // namespace firewall

namespace selftest {
using R = SelfTestInfo;
inline const Category<R> kCategory{"getSelfTestInfo",
                                   "SPDiagnosticsDataType",
                                   "autodelete_SPDiagnosticsDataType.plist",
                                   "selftest",
                                   {{R::lastRunXMLTag, &R::lastRun, {"spdiags_last_run_key"}, Conversion::Date},
                                    {R::resultXMLTag, &R::result, {"spdiags_result_key"}}}};
}  // namespace selftest

namespace power {
using R = PowerInfo;
// The settings on mains power sit in the first item's "AC Power" dictionary;
// the power type is that item's second key.
inline const Category<R> kCategory{
    "getPowerInfo",
    "SPPowerDataType",
    "autodelete_SPPowerDataType.plist",
    "power",
    {{R::powerTypeXMLTag, &R::powerType, {}},
     {R::sysSleepTimerXMLTag, &R::sysSleepTimer, {"AC Power", "System Sleep Timer"}},
     {R::discSleepTimerXMLTag, &R::discSleepTimer, {"AC Power", "Disk Sleep Timer"}},
     {R::dispSleepTimerXMLTag, &R::dispSleepTimer, {"AC Power", "Display Sleep Timer"}},
     {R::sleepOnPowerXMLTag, &R::sleepOnPower, {"AC Power", "Sleep On Power Button"}},
     {R::autoRestartXMLTag, &R::autoRestart, {"AC Power", "Automatic Restart On Power Loss"}},
     {R::wakeOnLanXMLTag, &R::wakeOnLan, {"AC Power", "Wake On LAN"}},
     {R::curPowerXMLTag, &R::curPower, {"AC Power", "Current Power Source"}},
     {R::usesDimXMLTag, &R::usesDim, {"AC Power", "Display Sleep Uses Dim"}},
     {R::nwReachabilityXMLTag, &R::nwReachability, {"AC Power", "PrioritizeNetworkReachabilityOverSleep"}},
     {R::kernalRestartXMLTag, &R::kernalRestart, {"AC Power", "RestartAfterKernelPanic"}}}};
}  // namespace power

namespace ups {
using R = HardwareConfig;
inline const Category<R> kCategory{"getHWConfigInfo",
                                   "SPPowerDataType",
                                   "autodelete_SPPowerDataType.plist",
                                   "hardwareconfig",
                                   {{R::upsInstalledXMLTag, &R::upsInstalled, {"sppower_ups_installed"}}}};
}  // namespace ups

namespace disk {
using R = DiskInfo;
// The controller's own fields, then those of its first drive.
inline const Category<R> kCategory{"getDiskInfo",
                                   "SPSerialATADataType",
                                   "autodelete_SPSerialATADataType.plist",
                                   "diskinfo",
                                   {{R::diskVendorXMLTag, &R::diskVendor, {"_name"}},
                                    {R::productXMLTag, &R::product, {"spsata_product"}},
                                    {R::linkSpeedXMLTag, &R::linkSpeed, {"spsata_portspeed"}},
                                    {R::nLinkSpeedXMLTag, &R::nLinkSpeed, {"spsata_negotiatedlinkspeed"}},
                                    {R::descriptionXMLTag, &R::description, {"spsata_portdescription"}}}};
inline const Fields<R> kDriveFields{{R::capacityXMLTag, &R::capacity, {"size"}, Conversion::ByteValue},
                                    {R::modelXMLTag, &R::model, {"device_model"}},
                                    {R::diskRevisionXMLTag, &R::diskRevision, {"device_revision"}},
                                    {R::diskSerialNumXMLTag, &R::diskSerialNum, {"device_serial"}},
                                    {R::nativeCmdQXMLTag, &R::nativeCmdQ, {"spsata_ncq"}},
                                    {R::queueDepthXMLTag, &R::queueDepth, {"spsata_ncq_depth"}},
                                    {R::removableMediaXMLTag, &R::removableMedia, {"removable_media"}},
                                    {R::detDriveXMLTag, &R::detDrive, {"detachable_drive"}},
                                    {R::diskBSDNameXMLTag, &R::diskBSDName, {"bsd_name"}},
                                    {R::rotationRateXMLTag, &R::rotationRate, {"spsata_rotational_rate"}},
                                    {R::mediumTypeXMLTag, &R::mediumType, {"spsata_medium_type"}},
                                    {R::bayNameXMLTag, &R::bayName, {"bay_name"}},
                                    {R::partMapTimeXMLTag, &R::partMapTime, {"partition_map_type"}},
                                    {R::smartStatusXMLTag, &R::smartStatus, {"smart_status"}}};
using V = DiskVolumes;
inline const Fields<V> kVolumeFields{{V::volNameXMLTag, &V::volName, {"_name"}},
                                     {V::diskCapacityXMLTag, &V::diskCapacity, {"size"}, Conversion::ByteValue},
                                     {V::availableXMLTag, &V::available, {"free_space"}, Conversion::ByteValue},
                                     {V::writableXMLTag, &V::writable, {"writable"}},
                                     {V::fileSystemXMLTag, &V::fileSystem, {"file_system"}},
                                     {V::volBSDNameXMLTag, &V::volBSDName, {"bsd_name"}},
                                     {V::mountPointXMLTag, &V::mountPoint, {"mount_point"}},
                                     {V::contentXMLTag, &V::content, {"iocontent"}}};
// What the SMART-status report takes from the first controller and its first drive.
inline const Fields<R> kSmartControllerFields{{R::descriptionXMLTag, &R::description, {"spsata_portdescription"}}};
inline const Fields<R> kSmartDriveFields{{R::modelXMLTag, &R::model, {"device_model"}, Conversion::NoBlankPairs},
                                         {R::diskBSDNameXMLTag, &R::diskBSDName, {"bsd_name"}},
                                         {R::smartStatusXMLTag, &R::smartStatus, {"smart_status"}}};
}  // namespace disk

namespace sharedvol {
using R = SharedVolume;
inline const Category<R> kCategory{"getSharedVolInfo",
                                   "SPNetworkVolumeDataType",
                                   "autodelete_SPNetworkVolumeDataType.plist",
                                   "sharedvolinfo",
                                   {{R::volumeNameXMLTag, &R::volumeName, {"_name"}},
                                    {R::volumeTypeXMLTag, &R::volumeType, {"spnetworkvolume_fstypename"}},
                                    {R::mntPointXMLTag, &R::mntPoint, {"spnetworkvolume_fsmtnonname"}},
                                    {R::mountFromXMLTag, &R::mountFrom, {"spnetworkvolume_mntfromname"}},
                                    {R::autoMountXMLTag, &R::autoMount, {"spnetworkvolume_automounted"}}}};
}  // namespace sharedvol

namespace cardreader {
using R = CardReaderInfo;
inline const Category<R> kCategory{"getCardreaderInfo",
                                   "SPCardReaderDataType",
                                   "autodelete_SPCardReaderDataType.plist",
                                   "sdcardreader",
                                   {{R::vendorIDXMLTag, &R::vendorID, {"spcardreader_subsystem_vendor-id"}},
                                    {R::prdIDXMLTag, &R::prdID, {"spcardreader_device-id"}},
                                    {R::revisionXMLTag, &R::revision, {"spcardreader_revision-id"}},
                                    {R::cardSerialNumXMLTag, &R::cardSerialNum, {"nil"}}}};
}  // namespace cardreader

namespace discburning {
using R = DiscBurning;
inline const Category<R> kCategory{"getDiscBurninginfo",
                                   "SPDiscBurningDataType",
                                   "autodelete_SPDiscBurningDataType.plist",
                                   "discburning",
                                   {{R::discRWNameXMLTag, &R::discRWName, {"_name"}},
                                    {R::firmWareRevXMLTag, &R::firmWareRev, {"firmware"}},
                                    {R::interConnectXMLTag, &R::interConnect, {"interconnect"}},
                                    {R::burnSupportXMLTag, &R::burnSupport, {"burn_support"}},
                                    {R::cacheXMLTag, &R::cache, {"device_cache"}, Conversion::ByteValue},
                                    {R::readDVDXMLTag, &R::readDVD, {"device_readdvd"}},
                                    {R::cdWriteXMLTag, &R::cdWrite, {"device_cdwrite"}},
                                    {R::dvdWriteXMLTag, &R::dvdWrite, {"device_dvdwrite"}},
                                    {R::writeStrtgyXMLTag, &R::writeStrtgy, {"device_strategies"}},
                                    {R::mediaXMLTag, &R::media, {"device_media"}}}};
}  // namespace discburning

namespace ethernet {
using R = EthernetInfo;
inline const Category<R> kCategory{"getEthernetInfo",
                                   "SPEthernetDataType",
                                   "autodelete_SPEthernetDataType.plist",
                                   "ethernetcrdinfo",
                                   {{R::broadComXMLTag, &R::broadCom, {"_name"}},
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
                                    {R::versionXMLTag, &R::version, {"spethernet_version"}}}};
}  // namespace ethernet

namespace network {
using R = NetworkInfo;
inline const Category<R> kCategory{
    "getNetwokInfo",
    "SPNetworkDataType",
    "autodelete_SPNetworkDataType.plist",
    "networkinfo",
    {{R::networkNameXMLTag, &R::networkName, {"_name"}},
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
     {R::networkDhcpSubnetmaskXMLTag, &R::networkDhcpSubnetmask, {"dhcp", "dhcp_subnet_mask"}}}};
}  // namespace network

namespace locations {
using R = NetworkLocations;
inline const Category<R> kCategory{
    "getLocationsInfo",
    "SPNetworkLocationDataType",
    "autodelete_SPNetworkLocationDataType.plist",
    "locations",
    {{R::locTypeXMLTag, &R::locType, {"_name"}}, {R::activeLocXMLTag, &R::activeLoc, {"spnetworklocation_isActive"}}}};
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
    {R::ieeeRemJoinNwXMLTag, &R::ieeeRemJoinNw, {"IEEE80211", "RememberJoinedNetworks"}}};
}  // namespace locations

namespace graphics {
using R = GraphicInfo;
inline const Category<R> kCategory{"getGraphicInfo",
                                   "SPDisplaysDataType",
                                   "autodelete_SPDisplaysDataType.plist",
                                   "graphicinfo",
                                   {{R::chipSetModelXMLTag, &R::chipSetModel, {"sppci_model"}},
                                    {R::displayTypeXMLTag, &R::displayType, {"sppci_device_type"}},
                                    {R::displayBusXMLTag, &R::displayBus, {"sppci_bus"}},
                                    {R::pciLaneWidthXMLTag, &R::pciLaneWidth, {"nil"}},
                                    {R::VRAMXMLTag, &R::VRAM, {"spdisplays_vram"}, Conversion::ByteValue},
                                    {R::vendorXMLTag, &R::vendor, {"spdisplays_vendor"}},
                                    {R::dispDeviceIDXMLTag, &R::dispDeviceID, {"spdisplays_device-id"}},
                                    {R::dispRevisionIDXMLTag, &R::dispRevisionID, {"spdisplays_revision-id"}},
                                    {R::romVerXMLTag, &R::romVer, {"nil"}},
                                    {R::efiDrvVerXMLTag, &R::efiDrvVer, {"nil"}}}};
inline const Fields<R> kDisplayFields{{R::dispNameXMLTag, &R::dispName, {"_name"}},
                                      {R::resolutionXMLTag, &R::resolution, {"spdisplays_resolution"}},
                                      {R::pixelDepthXMLTag, &R::pixelDepth, {"spdisplays_depth"}},
                                      {R::mainDisplayXMLTag, &R::mainDisplay, {"spdisplays_main"}},
                                      {R::mirrorXMLTag, &R::mirror, {"spdisplays_mirror"}},
                                      {R::onlineXMLTag, &R::online, {"spdisplays_online"}},
                                      {R::builtinXMLTag, &R::builtin, {"spdisplays_builtin"}},
                                      {R::connTypeXMLTag, &R::connType, {"nil"}}};
}  // namespace graphics

namespace thunderbolt {
using R = OSInfo;
// The port fields describe the first receptacle only.
inline const Category<R> kCategory{
    "getOSInfo",
    "SPThunderboltDataType",
    "autodelete_SPThunderboltDataType.plist",
    "osinfo",
    {{R::vendorNameXMLTag, &R::vendorName, {"vendor_name_key"}},
     {R::deviceNameXMLTag, &R::deviceName, {"device_name_key"}},
     {R::uidXMLTag, &R::uid, {"switch_uid_key"}},
     {R::firmwareVerXMLTag, &R::firmwareVer, {"lr_version_key"}},
     {R::portStatusXMLTag, &R::portStatus, {"receptacle_A", "receptacle_status_key"}},
     {R::portLinkXMLTag, &R::portLink, {"receptacle_A", "link_status_key"}},
     {R::portFirmwareVerXMLTag, &R::portFirmwareVer, {"receptacle_A", "pm_version_key"}}}};
}  // namespace thunderbolt

namespace software {
using R = SystemInfo;
// The file name's lower-case s is what the agent has always used; the data type is spelled as the profiler wants it.
inline const Category<R> kCategory{"getSystemInfo",
                                   "SPSoftwareDataType",
                                   "autodelete_SPsoftwareDataType.plist",
                                   "systeminfo",
                                   {{R::systemVerXMLTag, &R::systemVer, {"os_version"}},
                                    {R::kernelVerXMLTag, &R::kernelVer, {"kernel_version"}},
                                    {R::bootVolumeXMLTag, &R::bootVolume, {"boot_volume"}},
                                    {R::bootModeXMLTag, &R::bootMode, {"boot_mode"}},
                                    {R::compNameXMLTag, &R::compName, {"local_host_name"}},
                                    {R::userNameXMLTag, &R::userName, {"user_name"}},
                                    {R::secVirMemXMLTag, &R::secVirMem, {"secure_vm"}},
                                    {R::bitKerExtXMLTag, &R::bitKerExt, {"64bit_kernel_and_kexts"}},
                                    {R::bootDurationXMLTag, &R::bootDuration, {"uptime"}}}};
// The machine-details report reads the same data type through a file of its own.
inline constexpr std::string_view kMacDetailsFileName = "autodelete_SPsoftwareDataTypeMACDtls.plist";
}  // namespace software

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
    {{R::blueToothHardwareVersionXMLTag, &R::blueToothHardwareVersion, {"apple_bluetooth_version"}},
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
     {R::blueToothHardwareProductIDXMLTag, &R::blueToothHardwareProductID, {"local_device_title", "general_productID"}},
     {R::blueToothHardwareHCIVerXMLTag, &R::blueToothHardwareHCIVer, {"nil"}},
     {R::blueToothHardwareHCIRevXMLTag, &R::blueToothHardwareHCIRev, {"local_device_title", "nil"}},
     {R::blueToothHardwareLMPVerXMLTag, &R::blueToothHardwareLMPVer, {"local_device_title", "nil"}},
     {R::blueToothHardwareLMPSubVerXMLTag, &R::blueToothHardwareLMPSubVer, {"local_device_title", "nil"}},
     {R::blueToothHardwareMJRDevTypeXMLTag, &R::blueToothHardwareMJRDevType, {"local_device_title", "nil"}},
     {R::blueToothHardwareCmpltDevTypeXMLTag, &R::blueToothHardwareCmpltDevType, {"local_device_title", "nil"}},
     {R::blueToothHardwareCompstClassXMLTag, &R::blueToothHardwareCompstClass, {"local_device_title", "nil"}},
     {R::blueToothHardwareMJRDevClsXMLTag, &R::blueToothHardwareMJRDevCls, {"local_device_title", "nil"}},
     {R::blueToothHardwareMinrDevClsXMLTag, &R::blueToothHardwareMinrDevCls, {"local_device_title", "nil"}},
     {R::blueToothHardwareSVCClsXMLTag, &R::blueToothHardwareSVCCls, {"local_device_title", "nil"}}}};
}  // namespace blthhardware

namespace blthservices {
using R = BlueToothServices;
// Each entry is a one-key dictionary: the service's name, holding its settings.
inline const Category<R> kCategory{
    "getBlueToothServices",
    bluetooth::kDataType,
    bluetooth::kFileName,
    "blthservices",
    {{R::blueToothServicesSvcnameXMLTag, &R::blueToothServicesSvcname, {}},
     {R::blueToothServicesFldaccItemXMLTag, &R::blueToothServicesFldaccItem, {"service_OBEXFolder"}},
     {R::blueToothServicesFldFileBrwsXMLTag, &R::blueToothServicesFldFileBrws, {"service_FTPRootFolder"}},
     {R::blueToothServicesAuthrequireXMLTag, &R::blueToothServicesAuthrequire, {"device_authentication"}},
     {R::blueToothServicesStateXMLTag, &R::blueToothServicesState, {"service_state"}},
     {R::blueToothServicesStateOthrItemsAccptXMLTag,
      &R::blueToothServicesStateOthrItemsAccpt,
      {"service_OBEXHandle_Other"}},
     {R::blueToothServicesOthrPimItemsAccptXMLTag, &R::blueToothServicesOthrPimItemsAccpt, {"service_OBEXHandle_PIM"}},
     {R::blueToothServicesrcvitesmXMLTag, &R::blueToothServicesrcvitesm, {"service_OBEXReceive"}}}};
}  // namespace blthservices

namespace blthdevices {
using R = BlueToothDevices;
// Keyed by the device's name like the services; the address is not reported.
inline const Category<R> kCategory{
    "getBlueToothDevices",
    bluetooth::kDataType,
    bluetooth::kFileName,
    "blthdevices",
    {{R::blueToothDevicesDvcnameXMLTag, &R::blueToothDevicesDvcname, {}},
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
     {R::blueToothDevicesesCosupportedXMLTag, &R::blueToothDevicesesCosupported, {"device_supportsESCO"}}}};
}  // namespace blthdevices

namespace applications {
using R = ApplicationInfo;
inline const Category<R> kCategory{"getApplicationInfo",
                                   "SPApplicationsDataType",
                                   "autodelete_SPApplicationsDataType.plist",
                                   "applicationinfo",
                                   {{R::appNameXMLTag, &R::appName, {"_name"}},
                                    {R::appVersionXMLTag, &R::appVersion, {"version"}},
                                    {R::lastModifiedXMLTag, &R::lastModified, {"lastModified"}, Conversion::Date},
                                    {R::kindXMLTag, &R::kind, {"runtime_environment"}},
                                    {R::intel64BitXMLTag, &R::intel64Bit, {"has64BitIntelCode"}},
                                    {R::getInfoStringXMLTag, &R::getInfoString, {"info"}},
                                    {R::appStoreXMLTag, &R::appStore, {"app_store"}},
                                    {R::appLocationXMLTag, &R::appLocation, {"path"}}}};
inline constexpr std::string_view kCountLabel = "app count:";
}  // namespace applications

namespace usb {
using R = USBBus;
inline const Category<R> kCategory{"getUSBInfo",
                                   "SPUSBDataType",
                                   "autodelete_SPUSBDataType.plist",
                                   "usbinfo",
                                   {{R::usbBoardXMLTag, &R::usbBoard, {"_name"}},
                                    {R::hostLocationXMLTag, &R::hostLocation, {"controller_location"}},
                                    {R::hostDriverXMLTag, &R::hostDriver, {"host_controller"}},
                                    {R::pciDeviceIDXMLTag, &R::pciDeviceID, {"pci_device"}},
                                    {R::pciRevisionIdXMLTag, &R::pciRevisionId, {"pci_revision"}},
                                    {R::pciVendorIDXMLTag, &R::pciVendorID, {"pci_vendor"}},
                                    {R::busNumXMLTag, &R::busNum, {"usb_bus_number"}}}};
using D = USBDevices;
inline const Fields<D> kDeviceFields{{D::usbDevNameXMLTag, &D::usbDevName, {"_name"}},
                                     {D::productIDXMLTag, &D::productID, {"a_product_id"}},
                                     {D::usbVendorIDXMLTag, &D::usbVendorID, {"b_vendor_id"}},
                                     {D::usbVersionXMLTag, &D::usbVersion, {"c_bcd_device"}},
                                     {D::usbSerialNumXMLTag, &D::usbSerialNum, {"d_serial_num"}},
                                     {D::usbSpeedXMLTag, &D::usbSpeed, {"e_device_speed"}},
                                     {D::usbmanufacturerXMLTag, &D::usbmanufacturer, {"f_manufacturer"}},
                                     {D::usbLocIDXMLTag, &D::usbLocID, {"g_location_id"}},
                                     {D::currAvailableXMLTag, &D::currAvailable, {"h_bus_power"}},
                                     {D::currRequiredXMLTag, &D::currRequired, {"j_bus_power_used"}}};
}  // namespace usb

}  // namespace brim::tables
