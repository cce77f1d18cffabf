#include "inventory/collectData.h"

#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/CustomLogger.h"
#include "platform/DateTime.h"
#include "config/RunFolder.h"
#include "platform/Signature.h"
#include "config/GlobalPreferences.h"
#include "inventory/ApplicationInfo.h"
#include "inventory/BlueToothDevices.h"
#include "inventory/BlueToothHardware.h"
#include "inventory/BlueToothServices.h"
#include "inventory/CardReaderInfo.h"
#include "inventory/CategoryShapes.h"
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
#include "inventory/ProfilerRun.h"
#include "inventory/ProfilerValues.h"
#include "inventory/SelfTestInfo.h"
#include "inventory/SharedVolume.h"
#include "inventory/SystemInfo.h"
#include "inventory/USBBus.h"
#include "platform/Description.h"
#include "platform/Plist.h"
#include "platform/Text.h"

namespace brim {
namespace {

// ---------------------------------------------------------------------------
// The categories, each read top to bottom like the document it produces.
// ---------------------------------------------------------------------------

namespace memory {
using R = MemoryInfo;
const Category<R> kCategory{"getMemoryInfo",
                            "SPMemoryDataType",
                            "autodelete_SPMemoryDataType.plist",
                            "memoryinfo",
                            {
                                {R::slotXMLTag, &R::slot, {"_name"}},
                                {R::sizeXMLTag, &R::size, {"dimm_size"}, Conversion::ByteValue},
                                {R::memtypeXMLTag, &R::type, {"dimm_type"}},
                                {R::speedXMLTag, &R::speed, {"dimm_speed"}},
                                {R::statusXMLTag, &R::status, {"dimm_status"}},
                                {R::manufactureXMLTag, &R::manufacture, {"dimm_manufacturer"}},
                                {R::partNumberXMLTag, &R::partNumber, {"dimm_part_number"}},
                                {R::serialNumberXMLTag, &R::serialNumber, {"dimm_serial_number"}},
                            }};
// The group's ECC state opens every module's record.
const Fields<R> kGroupFields{
    {R::eccXMLTag, &R::ecc, {"global_ecc_state"}},
};
}  // namespace memory

namespace hardware {
using R = HardwareInfo;
const Category<R> kCategory{"getHardwareInfo",
                            "SPHardwareDataType",
                            "autodelete_SPHardwareDataType.plist",
                            "hardwareinfo",
                            {
                                {R::modelNameXMLTag, &R::modelName, {"machine_name"}},
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
                                {R::hardwareUUIDXMLTag, &R::hardwareUUID, {"platform_UUID"}},
                            }};
}  // namespace hardware

namespace firewall {
using R = FireWall;
const Category<R> kCategory{"getFirewallInfo",
                            "SPFirewallDataType",
                            "autodelete_SPFirewallDataType.plist",
                            "firewall",
                            {
                                {R::fwModeXMLTag, &R::fwMode, {"spfirewall_globalstate"}},
                                {R::fwLogXMLTag, &R::fwLog, {"spfirewall_loggingenabled"}},
                                {R::fwStealthModeXMLTag, &R::fwStealthMode, {"spfirewall_stealthenabled"}},
                            }};
}  // namespace firewall

namespace selftest {
using R = SelfTestInfo;
const Category<R> kCategory{"getSelfTestInfo",
                            "SPDiagnosticsDataType",
                            "autodelete_SPDiagnosticsDataType.plist",
                            "selftest",
                            {
                                {R::lastRunXMLTag, &R::lastRun, {"spdiags_last_run_key"}, Conversion::Date},
                                {R::resultXMLTag, &R::result, {"spdiags_result_key"}},
                            }};
}  // namespace selftest

namespace power {
using R = PowerInfo;
// The settings on mains power sit in the first item's "AC Power" dictionary;
// the power type is that item's second key.
const Category<R> kCategory{
    "getPowerInfo",
    "SPPowerDataType",
    "autodelete_SPPowerDataType.plist",
    "power",
    {
        {R::powerTypeXMLTag, &R::powerType, {}},
        {R::sysSleepTimerXMLTag, &R::sysSleepTimer, {"AC Power", "System Sleep Timer"}},
        {R::discSleepTimerXMLTag, &R::discSleepTimer, {"AC Power", "Disk Sleep Timer"}},
        {R::dispSleepTimerXMLTag, &R::dispSleepTimer, {"AC Power", "Display Sleep Timer"}},
        {R::sleepOnPowerXMLTag, &R::sleepOnPower, {"AC Power", "Sleep On Power Button"}},
        {R::autoRestartXMLTag, &R::autoRestart, {"AC Power", "Automatic Restart On Power Loss"}},
        {R::wakeOnLanXMLTag, &R::wakeOnLan, {"AC Power", "Wake On LAN"}},
        {R::curPowerXMLTag, &R::curPower, {"AC Power", "Current Power Source"}},
        {R::usesDimXMLTag, &R::usesDim, {"AC Power", "Display Sleep Uses Dim"}},
        {R::nwReachabilityXMLTag, &R::nwReachability, {"AC Power", "PrioritizeNetworkReachabilityOverSleep"}},
        {R::kernalRestartXMLTag, &R::kernalRestart, {"AC Power", "RestartAfterKernelPanic"}},
    }};
}  // namespace power

namespace ups {
using R = HardwareConfig;
const Category<R> kCategory{"getHWConfigInfo",
                            "SPPowerDataType",
                            "autodelete_SPPowerDataType.plist",
                            "hardwareconfig",
                            {
                                {R::upsInstalledXMLTag, &R::upsInstalled, {"sppower_ups_installed"}},
                            }};
}  // namespace ups

namespace disk {
using R = DiskInfo;
// The controller's own fields, then those of its first drive.
const Category<R> kCategory{"getDiskInfo",
                            "SPSerialATADataType",
                            "autodelete_SPSerialATADataType.plist",
                            "diskinfo",
                            {
                                {R::diskVendorXMLTag, &R::diskVendor, {"_name"}},
                                {R::productXMLTag, &R::product, {"spsata_product"}},
                                {R::linkSpeedXMLTag, &R::linkSpeed, {"spsata_portspeed"}},
                                {R::nLinkSpeedXMLTag, &R::nLinkSpeed, {"spsata_negotiatedlinkspeed"}},
                                {R::descriptionXMLTag, &R::description, {"spsata_portdescription"}},
                            }};
const Fields<R> kDriveFields{
    {R::capacityXMLTag, &R::capacity, {"size"}, Conversion::ByteValue},
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
    {R::smartStatusXMLTag, &R::smartStatus, {"smart_status"}},
};
using V = DiskVolumes;
const Fields<V> kVolumeFields{
    {V::volNameXMLTag, &V::volName, {"_name"}},
    {V::diskCapacityXMLTag, &V::diskCapacity, {"size"}, Conversion::ByteValue},
    {V::availableXMLTag, &V::available, {"free_space"}, Conversion::ByteValue},
    {V::writableXMLTag, &V::writable, {"writable"}},
    {V::fileSystemXMLTag, &V::fileSystem, {"file_system"}},
    {V::volBSDNameXMLTag, &V::volBSDName, {"bsd_name"}},
    {V::mountPointXMLTag, &V::mountPoint, {"mount_point"}},
    {V::contentXMLTag, &V::content, {"iocontent"}},
};
// What the SMART-status report takes from the first controller and its first drive.
const Fields<R> kSmartControllerFields{
    {R::descriptionXMLTag, &R::description, {"spsata_portdescription"}},
};
const Fields<R> kSmartDriveFields{
    {R::modelXMLTag, &R::model, {"device_model"}, Conversion::NoBlankPairs},
    {R::diskBSDNameXMLTag, &R::diskBSDName, {"bsd_name"}},
    {R::smartStatusXMLTag, &R::smartStatus, {"smart_status"}},
};
}  // namespace disk

namespace sharedvol {
using R = SharedVolume;
const Category<R> kCategory{"getSharedVolInfo",
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

namespace cardreader {
using R = CardReaderInfo;
const Category<R> kCategory{"getCardreaderInfo",
                            "SPCardReaderDataType",
                            "autodelete_SPCardReaderDataType.plist",
                            "sdcardreader",
                            {
                                {R::vendorIDXMLTag, &R::vendorID, {"spcardreader_subsystem_vendor-id"}},
                                {R::prdIDXMLTag, &R::prdID, {"spcardreader_device-id"}},
                                {R::revisionXMLTag, &R::revision, {"spcardreader_revision-id"}},
                                {R::cardSerialNumXMLTag, &R::cardSerialNum, {"nil"}},
                            }};
}  // namespace cardreader

namespace discburning {
using R = DiscBurning;
const Category<R> kCategory{"getDiscBurninginfo",
                            "SPDiscBurningDataType",
                            "autodelete_SPDiscBurningDataType.plist",
                            "discburning",
                            {
                                {R::discRWNameXMLTag, &R::discRWName, {"_name"}},
                                {R::firmWareRevXMLTag, &R::firmWareRev, {"firmware"}},
                                {R::interConnectXMLTag, &R::interConnect, {"interconnect"}},
                                {R::burnSupportXMLTag, &R::burnSupport, {"burn_support"}},
                                {R::cacheXMLTag, &R::cache, {"device_cache"}, Conversion::ByteValue},
                                {R::readDVDXMLTag, &R::readDVD, {"device_readdvd"}},
                                {R::cdWriteXMLTag, &R::cdWrite, {"device_cdwrite"}},
                                {R::dvdWriteXMLTag, &R::dvdWrite, {"device_dvdwrite"}},
                                {R::writeStrtgyXMLTag, &R::writeStrtgy, {"device_strategies"}},
                                {R::mediaXMLTag, &R::media, {"device_media"}},
                            }};
}  // namespace discburning

namespace ethernet {
using R = EthernetInfo;
const Category<R> kCategory{"getEthernetInfo",
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
const Category<R> kCategory{
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
const Category<R> kCategory{"getLocationsInfo",
                            "SPNetworkLocationDataType",
                            "autodelete_SPNetworkLocationDataType.plist",
                            "locations",
                            {
                                {R::locTypeXMLTag, &R::locType, {"_name"}},
                                {R::activeLocXMLTag, &R::activeLoc, {"spnetworklocation_isActive"}},
                            }};
const Fields<R> kServiceFields{
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

namespace graphics {
using R = GraphicInfo;
const Category<R> kCategory{"getGraphicInfo",
                            "SPDisplaysDataType",
                            "autodelete_SPDisplaysDataType.plist",
                            "graphicinfo",
                            {
                                {R::chipSetModelXMLTag, &R::chipSetModel, {"sppci_model"}},
                                {R::displayTypeXMLTag, &R::displayType, {"sppci_device_type"}},
                                {R::displayBusXMLTag, &R::displayBus, {"sppci_bus"}},
                                {R::pciLaneWidthXMLTag, &R::pciLaneWidth, {"nil"}},
                                {R::VRAMXMLTag, &R::VRAM, {"spdisplays_vram"}, Conversion::ByteValue},
                                {R::vendorXMLTag, &R::vendor, {"spdisplays_vendor"}},
                                {R::dispDeviceIDXMLTag, &R::dispDeviceID, {"spdisplays_device-id"}},
                                {R::dispRevisionIDXMLTag, &R::dispRevisionID, {"spdisplays_revision-id"}},
                                {R::romVerXMLTag, &R::romVer, {"nil"}},
                                {R::efiDrvVerXMLTag, &R::efiDrvVer, {"nil"}},
                            }};
const Fields<R> kDisplayFields{
    {R::dispNameXMLTag, &R::dispName, {"_name"}},
    {R::resolutionXMLTag, &R::resolution, {"spdisplays_resolution"}},
    {R::pixelDepthXMLTag, &R::pixelDepth, {"spdisplays_depth"}},
    {R::mainDisplayXMLTag, &R::mainDisplay, {"spdisplays_main"}},
    {R::mirrorXMLTag, &R::mirror, {"spdisplays_mirror"}},
    {R::onlineXMLTag, &R::online, {"spdisplays_online"}},
    {R::builtinXMLTag, &R::builtin, {"spdisplays_builtin"}},
    {R::connTypeXMLTag, &R::connType, {"nil"}},
};
}  // namespace graphics

namespace thunderbolt {
using R = OSInfo;
// The port fields describe the first receptacle only.
const Category<R> kCategory{"getOSInfo",
                            "SPThunderboltDataType",
                            "autodelete_SPThunderboltDataType.plist",
                            "osinfo",
                            {
                                {R::vendorNameXMLTag, &R::vendorName, {"vendor_name_key"}},
                                {R::deviceNameXMLTag, &R::deviceName, {"device_name_key"}},
                                {R::uidXMLTag, &R::uid, {"switch_uid_key"}},
                                {R::firmwareVerXMLTag, &R::firmwareVer, {"lr_version_key"}},
                                {R::portStatusXMLTag, &R::portStatus, {"receptacle_A", "receptacle_status_key"}},
                                {R::portLinkXMLTag, &R::portLink, {"receptacle_A", "link_status_key"}},
                                {R::portFirmwareVerXMLTag, &R::portFirmwareVer, {"receptacle_A", "pm_version_key"}},
                            }};
}  // namespace thunderbolt

namespace software {
using R = SystemInfo;
// The file name's lower-case s is what the agent has always used; the data type is spelled as the profiler wants it.
const Category<R> kCategory{"getSystemInfo",
                            "SPSoftwareDataType",
                            "autodelete_SPsoftwareDataType.plist",
                            "systeminfo",
                            {
                                {R::systemVerXMLTag, &R::systemVer, {"os_version"}},
                                {R::kernelVerXMLTag, &R::kernelVer, {"kernel_version"}},
                                {R::bootVolumeXMLTag, &R::bootVolume, {"boot_volume"}},
                                {R::bootModeXMLTag, &R::bootMode, {"boot_mode"}},
                                {R::compNameXMLTag, &R::compName, {"local_host_name"}},
                                {R::userNameXMLTag, &R::userName, {"user_name"}},
                                {R::secVirMemXMLTag, &R::secVirMem, {"secure_vm"}},
                                {R::bitKerExtXMLTag, &R::bitKerExt, {"64bit_kernel_and_kexts"}},
                                {R::bootDurationXMLTag, &R::bootDuration, {"uptime"}},
                            }};
// The machine-details report reads the same data type through a file of its own.
constexpr std::string_view kMacDetailsFileName = "autodelete_SPsoftwareDataTypeMACDtls.plist";
}  // namespace software

namespace bluetooth {
constexpr std::string_view kDataType = "SPBluetoothDataType";
constexpr std::string_view kFileName = "autodelete_SPBluetoothDataType.plist";
}  // namespace bluetooth

namespace blthhardware {
using R = BlueToothHardware;
// The controller's details sit in the item's "local_device_title" dictionary.
const Category<R> kCategory{
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
const Category<R> kCategory{
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
const Category<R> kCategory{
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

namespace applications {
using R = ApplicationInfo;
const Category<R> kCategory{"getApplicationInfo",
                            "SPApplicationsDataType",
                            "autodelete_SPApplicationsDataType.plist",
                            "applicationinfo",
                            {
                                {R::appNameXMLTag, &R::appName, {"_name"}},
                                {R::appVersionXMLTag, &R::appVersion, {"version"}},
                                {R::lastModifiedXMLTag, &R::lastModified, {"lastModified"}, Conversion::Date},
                                {R::kindXMLTag, &R::kind, {"runtime_environment"}},
                                {R::intel64BitXMLTag, &R::intel64Bit, {"has64BitIntelCode"}},
                                {R::getInfoStringXMLTag, &R::getInfoString, {"info"}},
                                {R::appStoreXMLTag, &R::appStore, {"app_store"}},
                                {R::appLocationXMLTag, &R::appLocation, {"path"}},
                            }};
constexpr std::string_view kCountLabel = "app count:";
}  // namespace applications

namespace usb {
using R = USBBus;
const Category<R> kCategory{"getUSBInfo",
                            "SPUSBDataType",
                            "autodelete_SPUSBDataType.plist",
                            "usbinfo",
                            {
                                {R::usbBoardXMLTag, &R::usbBoard, {"_name"}},
                                {R::hostLocationXMLTag, &R::hostLocation, {"controller_location"}},
                                {R::hostDriverXMLTag, &R::hostDriver, {"host_controller"}},
                                {R::pciDeviceIDXMLTag, &R::pciDeviceID, {"pci_device"}},
                                {R::pciRevisionIdXMLTag, &R::pciRevisionId, {"pci_revision"}},
                                {R::pciVendorIDXMLTag, &R::pciVendorID, {"pci_vendor"}},
                                {R::busNumXMLTag, &R::busNum, {"usb_bus_number"}},
                            }};
using D = USBDevices;
const Fields<D> kDeviceFields{
    {D::usbDevNameXMLTag, &D::usbDevName, {"_name"}},
    {D::productIDXMLTag, &D::productID, {"a_product_id"}},
    {D::usbVendorIDXMLTag, &D::usbVendorID, {"b_vendor_id"}},
    {D::usbVersionXMLTag, &D::usbVersion, {"c_bcd_device"}},
    {D::usbSerialNumXMLTag, &D::usbSerialNum, {"d_serial_num"}},
    {D::usbSpeedXMLTag, &D::usbSpeed, {"e_device_speed"}},
    {D::usbmanufacturerXMLTag, &D::usbmanufacturer, {"f_manufacturer"}},
    {D::usbLocIDXMLTag, &D::usbLocID, {"g_location_id"}},
    {D::currAvailableXMLTag, &D::currAvailable, {"h_bus_power"}},
    {D::currRequiredXMLTag, &D::currRequired, {"j_bus_power_used"}},
};
}  // namespace usb

// ---------------------------------------------------------------------------
// The walker.
// ---------------------------------------------------------------------------

Sig signatureOf(std::string_view operation) { return Sig::instance("collectData", operation); }

template <class R>
void fill(collectData& collector, R& record, const Fields<R>& fields, plist_t item) {
  for (const Field<R>& field : fields) {
    if (field.from.empty()) continue;
    plist_t value = field.from.innerKey().empty() ? valueAt(item, field.from.key())
                                                  : valueAt(item, field.from.key(), field.from.innerKey());
    record.*field.value = collector.convert(value, field.conv);
  }
}

template <class R>
void writeFields(XMLTree& tree, const R& record, const Fields<R>& fields) {
  for (const Field<R>& field : fields) tree.addChildNodeWithCDATAToCurrentNodeWithName(field.tag, record.*field.value);
}

// Adds <name ID="index"/> and moves into it (the first child carrying that ID).
void enterNumbered(XMLTree& tree, std::string_view name, std::size_t index) {
  const std::string id = std::to_string(index);
  tree.addChildNodeToCurrentNodeWithName(name, std::nullopt, "ID", id);
  tree.jumpToChildWithAttributeName("ID", id);
}

// Adds <dtl/> and moves into the first "dtl" child of the current node.
void enterUnnumberedRecord(XMLTree& tree) {
  tree.addChildNodeToCurrentNodeWithName("dtl", std::nullopt);
  tree.jumpToChildWithName("dtl");
}

// One "dtl" per record, numbered from 0, holding the record's fields and
// whatever the hook adds after them (its sub-records).
template <class R>
void writeRecords(XMLTree& tree, const std::vector<R>& records, const Fields<R>& fields,
                  const std::function<void(const R&)>& afterFields = nullptr) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    enterNumbered(tree, "dtl", i);
    writeFields(tree, records[i], fields);
    if (afterFields) afterFields(records[i]);
    tree.jumpToParent();
  }
}

// Sub-records inside the current record, numbered from 0 in each record.
template <class S>
void writeSubRecords(XMLTree& tree, std::string_view name, const std::vector<S>& subRecords, const Fields<S>& fields) {
  for (std::size_t j = 0; j < subRecords.size(); ++j) {
    enterNumbered(tree, name, j);
    writeFields(tree, subRecords[j], fields);
    tree.jumpToParent();
  }
}

XMLTree categoryTree(std::string_view name) {
  XMLTree tree("fn");
  tree.addChildNodeToCurrentNodeWithName("fnname", std::string(name));
  return tree;
}

template <class R>
ProfilerRun startCategory(const collectData& collector, const Category<R>& category) {
  logAt(signatureOf(category.operation), category.operation);
  return ProfilerRun(collector.dataDir, category.dataType, category.fileName);
}

void logCount(std::string_view operation, std::string_view label, std::size_t count) {
  logAt(signatureOf(operation), std::string(label) + std::to_string(count));
}

// What a one-level category may do beyond reading one record per item: log
// the item count (when the file held an array), run something before each
// item is read, add elements after each record's fields.
using ItemHook = std::function<void(plist_t)>;
using RecordHook = std::function<void(XMLTree&)>;

template <class R>
XMLTree collectOneLevel(collectData& collector, const Category<R>& category, std::string_view countLabel = {},
                        const ItemHook& beforeItem = nullptr, const RecordHook& afterFields = nullptr) {
  ProfilerRun run = startCategory(collector, category);
  std::vector<R> records;
  run.forEachItem(
      [&](std::size_t count) {
        if (!countLabel.empty()) logCount(category.operation, countLabel, count);
      },
      [&](plist_t item) {
        if (beforeItem) beforeItem(item);
        fill(collector, records.emplace_back(), category.fields, item);
      });
  run.removeFile();

  XMLTree tree = categoryTree(category.name);
  writeRecords<R>(tree, records, category.fields, [&](const R&) {
    if (afterFields) afterFields(tree);
  });
  return tree;
}

// A one-level category written straight into a document's text, each record
// as soon as it is read: the text collectOneLevel's subtree would have.
template <class R>
void writeOneLevel(collectData& collector, const Category<R>& category, std::string_view countLabel,
                   std::string& documentText) {
  ProfilerRun run = startCategory(collector, category);
  // The document grows by about the report's size: room for it at once
  // rather than copies of a growing text.
  documentText.reserve(documentText.size() + run.textSize() + run.textSize() / 8);
  const XMLTree head = categoryTree(category.name);
  head.appendOpeningText(documentText, false);
  std::size_t index = 0;
  run.forEachItem([&](std::size_t count) { logCount(category.operation, countLabel, count); },
                  [&](plist_t item) {
                    R record;
                    fill(collector, record, category.fields, item);
                    XMLTree carrier("fn");
                    enterNumbered(carrier, "dtl", index++);
                    writeFields(carrier, record, category.fields);
                    carrier.appendCurrentNodeText(documentText);
                  });
  run.removeFile();
  head.appendClosingText(documentText);
}

// The Bluetooth services and devices: entries of a list under the first
// item, each a dictionary whose first key names the entry and holds its values.
template <class R>
std::vector<R> collectNamedEntries(collectData& collector, const ProfilerRun& run, const Category<R>& category,
                                   std::string_view listKey, RecordValue R::*nameField,
                                   const std::function<void()>& beforeEntry = nullptr) {
  std::vector<R> records;
  const auto items = elementsOf(run.items());
  if (items.empty()) return records;
  for (plist_t entry : elementsOf(valueAt(items.front(), listKey))) {
    if (beforeEntry) beforeEntry();
    R& record = records.emplace_back();
    const std::optional<std::string> name = keyAt(entry, 0);
    record.*nameField = name;
    fill(collector, record, category.fields, name ? valueAt(entry, *name) : nullptr);
  }
  return records;
}

// The leading decimal integer of a text, read as a 32-bit number: leading
// blanks skipped, an optional sign, digits up to the first other character;
// out-of-range values stop at the 32-bit limits, and no digits read as 0.
int32_t leadingInt32(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r' ||
                               text[pos] == '\v' || text[pos] == '\f')) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// dataDir: the run's own folder under "<agentInstallPathAbs>/<tempDirRelative>".
std::string temporaryDirectory() { return RunFolder::path(); }

}  // namespace

// ---------------------------------------------------------------------------
// Conversions.
// ---------------------------------------------------------------------------

collectData::collectData() : dataDir(temporaryDirectory()) {}

RecordValue collectData::byteValue(const RecordValue& text) {
  struct Unit {
    std::string_view name;
    int shift;
  };
  static constexpr Unit kUnits[] = {{"KB", 10}, {"MB", 20}, {"GB", 30}, {"TB", 40}};
  for (const Unit& unit : kUnits) {
    // An absent text behaves as if it held every unit after the number 0.
    std::string_view number;
    if (text) {
      const std::size_t at = text->find(unit.name);
      if (at == std::string::npos) continue;
      number = std::string_view(*text).substr(0, at);
    }
    // Multiplied in 64 bits; like the agent's arithmetic, a result past the
    // range wraps rather than stopping.
    const uint64_t bytes = static_cast<uint64_t>(static_cast<int64_t>(leadingInt32(number))) << unit.shift;
    byteValueInString = std::to_string(static_cast<int64_t>(bytes));
  }
  return byteValueInString;
}

RecordValue collectData::date(plist_t value) const {
  if (!value || plist_get_node_type(value) != PLIST_DATE) return std::nullopt;
  int32_t seconds = 0;
  int32_t microseconds = 0;
  plist_get_date_val(value, &seconds, &microseconds);
  if (microseconds < 0) --seconds;  // a date before 2001 rounds down to its whole second
  const DateTime::TimePoint when{std::chrono::seconds(kPlistEpochOffset + seconds)};
  return DateTime::dateInLocalTimeFor(when);
}

RecordValue collectData::convert(plist_t value, Conversion conv) {
  switch (conv) {
    case Conversion::AsIs:
      return textOf(value);
    case Conversion::ByteValue:
      return byteValue(textOf(value));
    case Conversion::Date:
      return date(value);
    case Conversion::Joined:
      return joinedWithComma(value);
    case Conversion::FirstElement:
      return firstElementText(value);
    case Conversion::NoBlankPairs:
      return checkforExtraspace(textOf(value));
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// The categories of one record per item.
// ---------------------------------------------------------------------------

XMLTree collectData::getHardwareInfo() { return collectOneLevel(*this, hardware::kCategory); }
XMLTree collectData::getFirewallInfo() { return collectOneLevel(*this, firewall::kCategory); }
XMLTree collectData::getSelfTestInfo() { return collectOneLevel(*this, selftest::kCategory); }
XMLTree collectData::getSharedVolInfo() { return collectOneLevel(*this, sharedvol::kCategory); }
XMLTree collectData::getEthernetInfo() { return collectOneLevel(*this, ethernet::kCategory); }
XMLTree collectData::getOSInfo() { return collectOneLevel(*this, thunderbolt::kCategory); }
XMLTree collectData::getBlueToothHardWareInfo() { return collectOneLevel(*this, blthhardware::kCategory); }

XMLTree collectData::getCardreaderInfo() { return collectOneLevel(*this, cardreader::kCategory, "count:"); }
XMLTree collectData::getNetwokInfo() { return collectOneLevel(*this, network::kCategory, "network count:"); }
XMLTree collectData::getApplicationInfo() {
  return collectOneLevel(*this, applications::kCategory, applications::kCountLabel);
}

void collectData::appendCategory(XMLTree (collectData::*operation)(), std::string& documentText) {
  if (operation == &collectData::getApplicationInfo) {
    writeOneLevel(*this, applications::kCategory, applications::kCountLabel, documentText);
  } else {
    (this->*operation)().appendRootText(documentText);
  }
}

XMLTree collectData::getDiscBurninginfo() {
  const Sig sig = signatureOf(discburning::kCategory.operation);
  return collectOneLevel(*this, discburning::kCategory, "disc count:", [&sig](plist_t item) {
    logAt(sig, "discBurnDataDictionary " + describe(item));
  });
}

XMLTree collectData::getSystemInfo() {
  // The time zone is not the profiler's: it is worked out afresh for each record.
  return collectOneLevel(*this, software::kCategory, {}, nullptr, [](XMLTree& tree) {
    tree.addChildNodeWithCDATAToCurrentNodeWithName(SystemInfo::systemTimeZone, SystemInfo::timeZone());
  });
}

// ---------------------------------------------------------------------------
// The categories whose shape differs.
// ---------------------------------------------------------------------------

XMLTree collectData::getMemoryInfo() {
  using memory::kCategory;
  ProfilerRun run = startCategory(*this, kCategory);
  std::vector<MemoryInfo> groups;
  for (plist_t groupItem : elementsOf(run.items())) {
    MemoryInfo& group = groups.emplace_back();
    for (plist_t moduleItem : elementsOf(valueAt(groupItem, "_items"))) {
      fill(*this, group.memArray.emplace_back(), kCategory.fields, moduleItem);
    }
    fill(*this, group, memory::kGroupFields, groupItem);
  }
  run.removeFile();

  // Modules are numbered within their group, and a record is entered by the
  // first "dtl" carrying its number: a second group's modules therefore land
  // in the first group's elements, as the agent's server has always seen it.
  XMLTree tree = categoryTree(kCategory.name);
  for (const MemoryInfo& group : groups) {
    for (std::size_t j = 0; j < group.memArray.size(); ++j) {
      enterNumbered(tree, "dtl", j);
      writeFields(tree, group, memory::kGroupFields);
      writeFields(tree, group.memArray[j], kCategory.fields);
      tree.jumpToParent();
    }
  }
  return tree;
}

XMLTree collectData::getPowerInfo() {
  using power::kCategory;
  ProfilerRun run = startCategory(*this, kCategory);
  std::optional<PowerInfo> record;
  const auto items = elementsOf(run.items());
  if (!items.empty()) {
    record.emplace();
    record->powerType = keyAt(items[0], 1);
    fill(*this, *record, kCategory.fields, items[0]);
  }
  run.removeFile();

  XMLTree tree = categoryTree(kCategory.name);
  if (record) {
    enterUnnumberedRecord(tree);
    writeFields(tree, *record, kCategory.fields);
  }
  return tree;
}

XMLTree collectData::getHWConfigInfo() {
  using ups::kCategory;
  ProfilerRun run = startCategory(*this, kCategory);
  std::optional<HardwareConfig> record;
  const auto items = elementsOf(run.items());
  if (items.size() >= 2) fill(*this, record.emplace(), kCategory.fields, items[1]);
  run.removeFile();

  XMLTree tree = categoryTree(kCategory.name);
  if (record) {
    enterUnnumberedRecord(tree);
    writeFields(tree, *record, kCategory.fields);
  }
  return tree;
}

XMLTree collectData::getDiskInfo() {
  using disk::kCategory;
  ProfilerRun run = startCategory(*this, kCategory);
  std::vector<DiskInfo> disks;
  for (plist_t controller : elementsOf(run.items())) {
    DiskInfo& info = disks.emplace_back();
    // Only the first drive of a controller is reported.
    const auto drives = elementsOf(valueAt(controller, "_items"));
    plist_t drive = drives.empty() ? nullptr : drives.front();
    for (plist_t volume : elementsOf(valueAt(drive, "volumes"))) {
      fill(*this, info.diskVolArray.emplace_back(), disk::kVolumeFields, volume);
    }
    fill(*this, info, kCategory.fields, controller);
    fill(*this, info, disk::kDriveFields, drive);
  }
  run.removeFile();

  XMLTree tree = categoryTree(kCategory.name);
  writeRecords<DiskInfo>(tree, disks, kCategory.fields, [&tree](const DiskInfo& info) {
    writeFields(tree, info, disk::kDriveFields);
    writeSubRecords(tree, "vol", info.diskVolArray, disk::kVolumeFields);
  });
  return tree;
}

XMLTree collectData::getLocationsInfo() {
  using locations::kCategory;
  ProfilerRun run = startCategory(*this, kCategory);
  std::vector<NetworkLocations> locationRecords;
  for (plist_t locationItem : elementsOf(run.items())) {
    NetworkLocations& location = locationRecords.emplace_back();
    fill(*this, location, kCategory.fields, locationItem);
    for (plist_t serviceItem : elementsOf(valueAt(locationItem, "spnetworklocation_services"))) {
      NetworkLocations& service = location.locSerArray.emplace_back();
      fill(*this, service, locations::kServiceFields, serviceItem);
      // The wireless name is the service dictionary's own second key, taken
      // only when the service has wireless settings at all.
      plist_t wireless = valueAt(serviceItem, "IEEE80211");
      if (wireless && plist_get_node_type(wireless) == PLIST_DICT && plist_dict_get_size(wireless) > 0) {
        service.ieeeName = keyAt(serviceItem, 1);
      }
    }
  }
  run.removeFile();

  // Every location writes its own "fnname" and "dtl" at the current node and
  // stays inside that "dtl": a second location nests inside the first, which
  // is the form the agent's server has always received.
  XMLTree tree("fn");
  for (const NetworkLocations& location : locationRecords) {
    tree.addChildNodeToCurrentNodeWithName("fnname", std::string(kCategory.name));
    enterUnnumberedRecord(tree);
    writeFields(tree, location, kCategory.fields);
    writeSubRecords(tree, "services", location.locSerArray, locations::kServiceFields);
  }
  return tree;
}

XMLTree collectData::getGraphicInfo() {
  using graphics::kCategory;
  ProfilerRun run = startCategory(*this, kCategory);
  std::vector<GraphicInfo> cards;
  for (plist_t cardItem : elementsOf(run.items())) {
    GraphicInfo& card = cards.emplace_back();
    for (plist_t displayItem : elementsOf(valueAt(cardItem, "spdisplays_ndrvs"))) {
      fill(*this, card.displayArray.emplace_back(), graphics::kDisplayFields, displayItem);
    }
    fill(*this, card, kCategory.fields, cardItem);
  }
  run.removeFile();

  XMLTree tree = categoryTree(kCategory.name);
  writeRecords<GraphicInfo>(tree, cards, kCategory.fields, [&tree](const GraphicInfo& card) {
    writeSubRecords(tree, "dispconn", card.displayArray, graphics::kDisplayFields);
  });
  return tree;
}

XMLTree collectData::getBlueToothServices() {
  using blthservices::kCategory;
  const Sig sig = signatureOf(kCategory.operation);
  ProfilerRun run = startCategory(*this, kCategory);
  const auto services = collectNamedEntries(*this, run, kCategory, "services_title",
                                            &BlueToothServices::blueToothServicesSvcname, [&sig] { logAt(sig, "2"); });
  run.removeFile();

  XMLTree tree = categoryTree(kCategory.name);
  for (std::size_t i = 0; i < services.size(); ++i) {
    logAt(sig, "3");
    enterNumbered(tree, "dtl", i);
    writeFields(tree, services[i], kCategory.fields);
    tree.jumpToParent();
  }
  return tree;
}

XMLTree collectData::getBlueToothDevices() {
  using blthdevices::kCategory;
  ProfilerRun run = startCategory(*this, kCategory);
  const auto devices =
      collectNamedEntries(*this, run, kCategory, "device_title", &BlueToothDevices::blueToothDevicesDvcname);
  if (run.arrayNotEmpty()) logCount(kCategory.operation, "blueToothDevArray ", devices.size());
  run.removeFile();

  XMLTree tree = categoryTree(kCategory.name);
  writeRecords(tree, devices, kCategory.fields);
  return tree;
}

XMLTree collectData::getUSBInfo() {
  using usb::kCategory;
  ProfilerRun run = startCategory(*this, kCategory);
  if (run.arrayNotEmpty()) logCount(kCategory.operation, "bus count:", run.itemCount());
  std::vector<USBBus> buses;
  for (plist_t busItem : elementsOf(run.items())) {
    USBBus& bus = buses.emplace_back();
    // The devices reported are the second level below the bus; the first
    // level (hubs and the like) and anything deeper are not.
    for (plist_t firstLevel : elementsOf(valueAt(busItem, "_items"))) {
      const auto secondLevel = elementsOf(valueAt(firstLevel, "_items"));
      logCount(kCategory.operation, "device count:", secondLevel.size());
      for (plist_t deviceItem : secondLevel)
        fill(*this, bus.devicesArray.emplace_back(), usb::kDeviceFields, deviceItem);
    }
    fill(*this, bus, kCategory.fields, busItem);
  }
  run.removeFile();

  XMLTree tree = categoryTree(kCategory.name);
  writeRecords<USBBus>(tree, buses, kCategory.fields, [&tree](const USBBus& bus) {
    writeSubRecords(tree, "usbdevices", bus.devicesArray, usb::kDeviceFields);
  });
  return tree;
}

// ---------------------------------------------------------------------------
// Records for the direct status reports.
// ---------------------------------------------------------------------------

SystemInfo collectData::getMacDetailsData() {
  dataDir = temporaryDirectory();
  SystemInfo record;
  ProfilerRun run(dataDir, software::kCategory.dataType, software::kMacDetailsFileName);
  // Every item writes into the one record: the last one's values remain.
  for (plist_t item : elementsOf(run.items())) fill(*this, record, software::kCategory.fields, item);
  checkMacNameInSettingsPlist(record);
  run.removeFile();
  return record;
}

void collectData::checkMacNameInSettingsPlist(const SystemInfo& info) {
  constexpr auto kSig = Sig::instance("collectData", "checkMacNameInSettingsPlist:");
  GlobalPreferences& prefs = GlobalPreferences::getSharedInstance();
  MachineInfoSettings& machine = prefs.machineInfo();
  if (machine.machineName && machine.machineName == info.compName) {
    logAt(kSig, "No Change in Mac Name");
    return;
  }
  logAt(kSig, "Mac Name Chnaged");
  // A profiler that reports no name says nothing about the machine's name:
  // the stored one is better than none.
  if (!info.compName) {
    logAt(kSig, "No local host name reported; machine name " + orNull(machine.machineName) + " kept");
    return;
  }
  machine.machineName = info.compName;
  GlobalPreferences::saveGlobalPreferences(prefs);
}

DiskInfo collectData::getDiskDetails() {
  logAt(Sig::instance("collectData", "getDiskDetails"), "getDiskInfo");
  DiskInfo record;
  ProfilerRun run(dataDir, disk::kCategory.dataType, disk::kCategory.fileName);
  const auto controllers = elementsOf(run.items());
  if (!controllers.empty()) {
    const auto drives = elementsOf(valueAt(controllers.front(), "_items"));
    fill(*this, record, disk::kSmartControllerFields, controllers.front());
    fill(*this, record, disk::kSmartDriveFields, drives.empty() ? nullptr : drives.front());
  }
  run.removeFile();
  return record;
}

RecordValue collectData::checkforExtraspace(const RecordValue& text) {
  if (!text) return std::nullopt;
  std::string result;
  result.reserve(text->size());
  for (std::size_t i = 0; i < text->size(); ++i) {
    if ((*text)[i] == ' ' && i + 1 < text->size() && (*text)[i + 1] == ' ') {
      ++i;  // the pair goes
      continue;
    }
    result += (*text)[i];
  }
  return result;
}

// ---------------------------------------------------------------------------
// The categories' shapes, for readers of the documents.
// ---------------------------------------------------------------------------

namespace {
template <class R>
std::vector<std::string_view> tagsOf(std::initializer_list<const Fields<R>*> tables) {
  std::vector<std::string_view> tags;
  for (const Fields<R>* table : tables) {
    for (const Field<R>& field : *table) tags.push_back(field.tag);
  }
  return tags;
}

template <class R>
CategoryShape shapeOf(XMLTree (collectData::*collect)(), const Category<R>& category,
                      CategoryShape::Records records = CategoryShape::Records::Numbered) {
  return {collect, category.name, records, tagsOf<R>({&category.fields}), {}, {}};
}

template <class S>
CategoryShape withSubRecords(CategoryShape shape, std::string_view element, const Fields<S>& fields) {
  shape.subRecord = element;
  shape.subFields = tagsOf<S>({&fields});
  return shape;
}
}  // namespace

const std::vector<CategoryShape>& categoryShapes() {
  using Records = CategoryShape::Records;
  static const std::vector<CategoryShape> shapes = [] {
    std::vector<CategoryShape> all;
    CategoryShape memoryShape = shapeOf(&collectData::getMemoryInfo, memory::kCategory, Records::Grouped);
    memoryShape.fields = tagsOf<MemoryInfo>({&memory::kGroupFields, &memory::kCategory.fields});
    all.push_back(memoryShape);
    all.push_back(shapeOf(&collectData::getHardwareInfo, hardware::kCategory));
    all.push_back(shapeOf(&collectData::getFirewallInfo, firewall::kCategory));
    all.push_back(shapeOf(&collectData::getEthernetInfo, ethernet::kCategory));
    CategoryShape diskShape = shapeOf(&collectData::getDiskInfo, disk::kCategory);
    diskShape.fields = tagsOf<DiskInfo>({&disk::kCategory.fields, &disk::kDriveFields});
    all.push_back(withSubRecords(diskShape, "vol", disk::kVolumeFields));
    all.push_back(shapeOf(&collectData::getSharedVolInfo, sharedvol::kCategory));
    all.push_back(shapeOf(&collectData::getCardreaderInfo, cardreader::kCategory));
    all.push_back(shapeOf(&collectData::getSelfTestInfo, selftest::kCategory));
    all.push_back(shapeOf(&collectData::getDiscBurninginfo, discburning::kCategory));
    all.push_back(shapeOf(&collectData::getPowerInfo, power::kCategory, Records::Single));
    all.push_back(shapeOf(&collectData::getHWConfigInfo, ups::kCategory, Records::Single));
    all.push_back(shapeOf(&collectData::getOSInfo, thunderbolt::kCategory));
    all.push_back(withSubRecords(shapeOf(&collectData::getGraphicInfo, graphics::kCategory), "dispconn",
                                 graphics::kDisplayFields));
    all.push_back(shapeOf(&collectData::getBlueToothHardWareInfo, blthhardware::kCategory));
    all.push_back(shapeOf(&collectData::getBlueToothServices, blthservices::kCategory));
    all.push_back(shapeOf(&collectData::getBlueToothDevices, blthdevices::kCategory));
    all.push_back(shapeOf(&collectData::getNetwokInfo, network::kCategory));
    all.push_back(withSubRecords(shapeOf(&collectData::getLocationsInfo, locations::kCategory, Records::Chained),
                                 "services", locations::kServiceFields));
    CategoryShape systemShape = shapeOf(&collectData::getSystemInfo, software::kCategory);
    systemShape.fields.push_back(SystemInfo::systemTimeZone);  // added after the fields by getSystemInfo
    all.push_back(systemShape);
    all.push_back(shapeOf(&collectData::getApplicationInfo, applications::kCategory));
    all.push_back(withSubRecords(shapeOf(&collectData::getUSBInfo, usb::kCategory), "usbdevices", usb::kDeviceFields));
    return all;
  }();
  return shapes;
}

}  // namespace brim
