#pragma once
// The categories of the two inventory documents, each list in its document's
// order, each entry read top to bottom like the part of the document it
// produces (Category.h). The walker builds every category from these lists;
// the orchestrator, the documents' readers, the wire-format description and
// the plan of profiler runs read them too. The list a category is in is the
// document it goes to. Adding a category is one entry here plus its record
// type (README, "Adding a category").
#include <cstddef>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "inventory/ApplicationInfo.h"
#include "inventory/BlueToothDevices.h"
#include "inventory/BlueToothHardware.h"
#include "inventory/BlueToothServices.h"
#include "inventory/CardReaderInfo.h"
#include "inventory/Category.h"
#include "inventory/CategoryReaders.h"
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

// Three categories read the one Bluetooth report.
inline constexpr std::string_view kBluetoothDataType = "SPBluetoothDataType";
inline constexpr std::string_view kBluetoothFileName = "autodelete_SPBluetoothDataType.plist";
// The Bluetooth services' log marks: one line before each service is read,
// one before each is written; a log reader counts services by them.
inline constexpr std::string_view kServiceEntryMark = "2";
inline constexpr std::string_view kServiceRecordMark = "3";

// The full inventory, "assetdata".
inline const std::tuple kHardwareCategories = {
    // A record per memory group, holding its modules; the group's ECC state opens every module's "dtl".
    [] {
      using R = MemoryInfo;
      return Category<R>{.operation = "getMemoryInfo",
                         .dataType = "SPMemoryDataType",
                         .fileName = "autodelete_SPMemoryDataType.plist",
                         .name = "memoryinfo",
                         .fields = {{R::eccXMLTag, &R::ecc, {"global_ecc_state"}}},
                         .nesting = Nesting::Grouped,
                         .sub = {.element = "dtl",
                                 .records = &R::memArray,
                                 .list = "_items",
                                 .fields = {{R::slotXMLTag, &R::slot, {"_name"}},
                                            {R::sizeXMLTag, &R::size, {"dimm_size"}, Conversion::ByteValue},
                                            {R::memtypeXMLTag, &R::type, {"dimm_type"}},
                                            {R::speedXMLTag, &R::speed, {"dimm_speed"}},
                                            {R::statusXMLTag, &R::status, {"dimm_status"}},
                                            {R::manufactureXMLTag, &R::manufacture, {"dimm_manufacturer"}},
                                            {R::partNumberXMLTag, &R::partNumber, {"dimm_part_number"}},
                                            {R::serialNumberXMLTag, &R::serialNumber, {"dimm_serial_number"}}}}};
    }(),
    [] {
      using R = HardwareInfo;
      return Category<R>{.operation = "getHardwareInfo",
                         .dataType = "SPHardwareDataType",
                         .fileName = "autodelete_SPHardwareDataType.plist",
                         .name = "hardwareinfo",
                         .fields = {{R::modelNameXMLTag, &R::modelName, {"machine_name"}},
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
    }(),
    [] {
      using R = FireWall;
      return Category<R>{.operation = "getFirewallInfo",
                         .dataType = "SPFirewallDataType",
                         .fileName = "autodelete_SPFirewallDataType.plist",
                         .name = "firewall",
                         .fields = {{R::fwModeXMLTag, &R::fwMode, {"spfirewall_globalstate"}},
                                    {R::fwLogXMLTag, &R::fwLog, {"spfirewall_loggingenabled"}},
                                    {R::fwStealthModeXMLTag, &R::fwStealthMode, {"spfirewall_stealthenabled"}}}};
    }(),
    [] {
      using R = EthernetInfo;
      return Category<R>{.operation = "getEthernetInfo",
                         .dataType = "SPEthernetDataType",
                         .fileName = "autodelete_SPEthernetDataType.plist",
                         .name = "ethernetcrdinfo",
                         .fields = {{R::broadComXMLTag, &R::broadCom, {"_name"}},
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
    }(),
    // A record per Serial-ATA controller: its own fields, then those of its first drive and the
    // drive's volumes; further drives are not reported.
    [] {
      using R = DiskInfo;
      using S = DiskVolumes;
      return Category<R, S>{
          .operation = "getDiskInfo",
          .dataType = "SPSerialATADataType",
          .fileName = "autodelete_SPSerialATADataType.plist",
          .name = "diskinfo",
          .fields = {{R::diskVendorXMLTag, &R::diskVendor, {"_name"}},
                     {R::productXMLTag, &R::product, {"spsata_product"}},
                     {R::linkSpeedXMLTag, &R::linkSpeed, {"spsata_portspeed"}},
                     {R::nLinkSpeedXMLTag, &R::nLinkSpeed, {"spsata_negotiatedlinkspeed"}},
                     {R::descriptionXMLTag, &R::description, {"spsata_portdescription"}},
                     {R::capacityXMLTag, &R::capacity, KeyPath::inFirstOf("_items", "size"), Conversion::ByteValue},
                     {R::modelXMLTag, &R::model, KeyPath::inFirstOf("_items", "device_model")},
                     {R::diskRevisionXMLTag, &R::diskRevision, KeyPath::inFirstOf("_items", "device_revision")},
                     {R::diskSerialNumXMLTag, &R::diskSerialNum, KeyPath::inFirstOf("_items", "device_serial")},
                     {R::nativeCmdQXMLTag, &R::nativeCmdQ, KeyPath::inFirstOf("_items", "spsata_ncq")},
                     {R::queueDepthXMLTag, &R::queueDepth, KeyPath::inFirstOf("_items", "spsata_ncq_depth")},
                     {R::removableMediaXMLTag, &R::removableMedia, KeyPath::inFirstOf("_items", "removable_media")},
                     {R::detDriveXMLTag, &R::detDrive, KeyPath::inFirstOf("_items", "detachable_drive")},
                     {R::diskBSDNameXMLTag, &R::diskBSDName, KeyPath::inFirstOf("_items", "bsd_name")},
                     {R::rotationRateXMLTag, &R::rotationRate, KeyPath::inFirstOf("_items", "spsata_rotational_rate")},
                     {R::mediumTypeXMLTag, &R::mediumType, KeyPath::inFirstOf("_items", "spsata_medium_type")},
                     {R::bayNameXMLTag, &R::bayName, KeyPath::inFirstOf("_items", "bay_name")},
                     {R::partMapTimeXMLTag, &R::partMapTime, KeyPath::inFirstOf("_items", "partition_map_type")},
                     {R::smartStatusXMLTag, &R::smartStatus, KeyPath::inFirstOf("_items", "smart_status")}},
          .sub = {.element = "vol",
                  .records = &R::diskVolArray,
                  .reader = &readers::readVolumesOfFirstDrive,
                  .fields = {{S::volNameXMLTag, &S::volName, {"_name"}},
                             {S::diskCapacityXMLTag, &S::diskCapacity, {"size"}, Conversion::ByteValue},
                             {S::availableXMLTag, &S::available, {"free_space"}, Conversion::ByteValue},
                             {S::writableXMLTag, &S::writable, {"writable"}},
                             {S::fileSystemXMLTag, &S::fileSystem, {"file_system"}},
                             {S::volBSDNameXMLTag, &S::volBSDName, {"bsd_name"}},
                             {S::mountPointXMLTag, &S::mountPoint, {"mount_point"}},
                             {S::contentXMLTag, &S::content, {"iocontent"}}}}};
    }(),
    [] {
      using R = SharedVolume;
      return Category<R>{.operation = "getSharedVolInfo",
                         .dataType = "SPNetworkVolumeDataType",
                         .fileName = "autodelete_SPNetworkVolumeDataType.plist",
                         .name = "sharedvolinfo",
                         .fields = {{R::volumeNameXMLTag, &R::volumeName, {"_name"}},
                                    {R::volumeTypeXMLTag, &R::volumeType, {"spnetworkvolume_fstypename"}},
                                    {R::mntPointXMLTag, &R::mntPoint, {"spnetworkvolume_fsmtnonname"}},
                                    {R::mountFromXMLTag, &R::mountFrom, {"spnetworkvolume_mntfromname"}},
                                    {R::autoMountXMLTag, &R::autoMount, {"spnetworkvolume_automounted"}}}};
    }(),
    [] {
      using R = CardReaderInfo;
      return Category<R>{.operation = "getCardreaderInfo",
                         .dataType = "SPCardReaderDataType",
                         .fileName = "autodelete_SPCardReaderDataType.plist",
                         .name = "sdcardreader",
                         .fields = {{R::vendorIDXMLTag, &R::vendorID, {"spcardreader_subsystem_vendor-id"}},
                                    {R::prdIDXMLTag, &R::prdID, {"spcardreader_device-id"}},
                                    {R::revisionXMLTag, &R::revision, {"spcardreader_revision-id"}},
                                    {R::cardSerialNumXMLTag, &R::cardSerialNum, KeyPath::neverReported()}},
                         .log = {.itemCount = "count:"}};
    }(),
    [] {
      using R = SelfTestInfo;
      return Category<R>{.operation = "getSelfTestInfo",
                         .dataType = "SPDiagnosticsDataType",
                         .fileName = "autodelete_SPDiagnosticsDataType.plist",
                         .name = "selftest",
                         .fields = {{R::lastRunXMLTag, &R::lastRun, {"spdiags_last_run_key"}, Conversion::Date},
                                    {R::resultXMLTag, &R::result, {"spdiags_result_key"}}}};
    }(),
    [] {
      using R = DiscBurning;
      return Category<R>{.operation = "getDiscBurninginfo",
                         .dataType = "SPDiscBurningDataType",
                         .fileName = "autodelete_SPDiscBurningDataType.plist",
                         .name = "discburning",
                         .fields = {{R::discRWNameXMLTag, &R::discRWName, {"_name"}},
                                    {R::firmWareRevXMLTag, &R::firmWareRev, {"firmware"}},
                                    {R::interConnectXMLTag, &R::interConnect, {"interconnect"}},
                                    {R::burnSupportXMLTag, &R::burnSupport, {"burn_support"}},
                                    {R::cacheXMLTag, &R::cache, {"device_cache"}, Conversion::ByteValue},
                                    {R::readDVDXMLTag, &R::readDVD, {"device_readdvd"}},
                                    {R::cdWriteXMLTag, &R::cdWrite, {"device_cdwrite"}},
                                    {R::dvdWriteXMLTag, &R::dvdWrite, {"device_dvdwrite"}},
                                    {R::writeStrtgyXMLTag, &R::writeStrtgy, {"device_strategies"}},
                                    {R::mediaXMLTag, &R::media, {"device_media"}}},
                         .log = {.itemCount = "disc count:", .eachItem = "discBurnDataDictionary "}};
    }(),
    // The settings on mains power sit in the first item's "AC Power" dictionary.
    [] {
      using R = PowerInfo;
      return Category<R>{
          .operation = "getPowerInfo",
          .dataType = "SPPowerDataType",
          .fileName = "autodelete_SPPowerDataType.plist",
          .name = "power",
          .fields = {{R::powerTypeXMLTag, &R::powerType, KeyPath::readBy(&readers::readPowerType)},
                     {R::sysSleepTimerXMLTag, &R::sysSleepTimer, {"AC Power", "System Sleep Timer"}},
                     {R::discSleepTimerXMLTag, &R::discSleepTimer, {"AC Power", "Disk Sleep Timer"}},
                     {R::dispSleepTimerXMLTag, &R::dispSleepTimer, {"AC Power", "Display Sleep Timer"}},
                     {R::sleepOnPowerXMLTag, &R::sleepOnPower, {"AC Power", "Sleep On Power Button"}},
                     {R::autoRestartXMLTag, &R::autoRestart, {"AC Power", "Automatic Restart On Power Loss"}},
                     {R::wakeOnLanXMLTag, &R::wakeOnLan, {"AC Power", "Wake On LAN"}},
                     {R::curPowerXMLTag, &R::curPower, {"AC Power", "Current Power Source"}},
                     {R::usesDimXMLTag, &R::usesDim, {"AC Power", "Display Sleep Uses Dim"}},
                     {R::nwReachabilityXMLTag,
                      &R::nwReachability,
                      {"AC Power", "PrioritizeNetworkReachabilityOverSleep"}},
                     {R::kernalRestartXMLTag, &R::kernalRestart, {"AC Power", "RestartAfterKernelPanic"}}},
          .records = Records::item(0),
          .nesting = Nesting::Single};
    }(),
    // The UPS state is the second item's.
    [] {
      using R = HardwareConfig;
      return Category<R>{.operation = "getHWConfigInfo",
                         .dataType = "SPPowerDataType",
                         .fileName = "autodelete_SPPowerDataType.plist",
                         .name = "hardwareconfig",
                         .fields = {{R::upsInstalledXMLTag, &R::upsInstalled, {"sppower_ups_installed"}}},
                         .records = Records::item(1),
                         .nesting = Nesting::Single};
    }(),
    // The port fields describe the first receptacle only.
    [] {
      using R = OSInfo;
      return Category<R>{
          .operation = "getOSInfo",
          .dataType = "SPThunderboltDataType",
          .fileName = "autodelete_SPThunderboltDataType.plist",
          .name = "osinfo",
          .fields = {{R::vendorNameXMLTag, &R::vendorName, {"vendor_name_key"}},
                     {R::deviceNameXMLTag, &R::deviceName, {"device_name_key"}},
                     {R::uidXMLTag, &R::uid, {"switch_uid_key"}},
                     {R::firmwareVerXMLTag, &R::firmwareVer, {"lr_version_key"}},
                     {R::portStatusXMLTag, &R::portStatus, {"receptacle_A", "receptacle_status_key"}},
                     {R::portLinkXMLTag, &R::portLink, {"receptacle_A", "link_status_key"}},
                     {R::portFirmwareVerXMLTag, &R::portFirmwareVer, {"receptacle_A", "pm_version_key"}}}};
    }(),
    [] {
      using R = GraphicInfo;
      return Category<R>{.operation = "getGraphicInfo",
                         .dataType = "SPDisplaysDataType",
                         .fileName = "autodelete_SPDisplaysDataType.plist",
                         .name = "graphicinfo",
                         .fields = {{R::chipSetModelXMLTag, &R::chipSetModel, {"sppci_model"}},
                                    {R::displayTypeXMLTag, &R::displayType, {"sppci_device_type"}},
                                    {R::displayBusXMLTag, &R::displayBus, {"sppci_bus"}},
                                    {R::pciLaneWidthXMLTag, &R::pciLaneWidth, KeyPath::neverReported()},
                                    {R::VRAMXMLTag, &R::VRAM, {"spdisplays_vram"}, Conversion::ByteValue},
                                    {R::vendorXMLTag, &R::vendor, {"spdisplays_vendor"}},
                                    {R::dispDeviceIDXMLTag, &R::dispDeviceID, {"spdisplays_device-id"}},
                                    {R::dispRevisionIDXMLTag, &R::dispRevisionID, {"spdisplays_revision-id"}},
                                    {R::romVerXMLTag, &R::romVer, KeyPath::neverReported()},
                                    {R::efiDrvVerXMLTag, &R::efiDrvVer, KeyPath::neverReported()}},
                         .sub = {.element = "dispconn",
                                 .records = &R::displayArray,
                                 .list = "spdisplays_ndrvs",
                                 .fields = {{R::dispNameXMLTag, &R::dispName, {"_name"}},
                                            {R::resolutionXMLTag, &R::resolution, {"spdisplays_resolution"}},
                                            {R::pixelDepthXMLTag, &R::pixelDepth, {"spdisplays_depth"}},
                                            {R::mainDisplayXMLTag, &R::mainDisplay, {"spdisplays_main"}},
                                            {R::mirrorXMLTag, &R::mirror, {"spdisplays_mirror"}},
                                            {R::onlineXMLTag, &R::online, {"spdisplays_online"}},
                                            {R::builtinXMLTag, &R::builtin, {"spdisplays_builtin"}},
                                            {R::connTypeXMLTag, &R::connType, KeyPath::neverReported()}}}};
    }(),
    // The controller's details sit in the item's "local_device_title" dictionary.
    [] {
      using R = BlueToothHardware;
      return Category<R>{
          .operation = "getBlueToothHardWareInfo",
          .dataType = kBluetoothDataType,
          .fileName = kBluetoothFileName,
          .name = "blthhardwareinfo",
          .fields = {
              {R::blueToothHardwareVersionXMLTag, &R::blueToothHardwareVersion, {"apple_bluetooth_version"}},
              {R::blueToothHardwareAddressXMLTag,
               &R::blueToothHardwareAddress,
               {"local_device_title", "general_address"}},
              {R::blueToothHardwareManufactXMLTag,
               &R::blueToothHardwareManufact,
               {"local_device_title", "general_mfg"}},
              {R::blueToothHardwareNameXMLTag, &R::blueToothHardwareName, {"local_device_title", "device_name"}},
              {R::blueToothHardwareFirmwareVerXMLTag,
               &R::blueToothHardwareFirmwareVer,
               {"local_device_title", "general_fw_version"}},
              {R::blueToothHardwarePowerXMLTag, &R::blueToothHardwarePower, {"local_device_title", "device_power"}},
              {R::blueToothHardwareDiscoverableXMLTag,
               &R::blueToothHardwareDiscoverable,
               {"local_device_title", "device_discoverable"}},
              {R::blueToothHardwareVendorIDXMLTag,
               &R::blueToothHardwareVendorID,
               {"local_device_title", "general_vendorID"}},
              {R::blueToothHardwareProductIDXMLTag,
               &R::blueToothHardwareProductID,
               {"local_device_title", "general_productID"}},
              {R::blueToothHardwareHCIVerXMLTag, &R::blueToothHardwareHCIVer, KeyPath::neverReported()},
              {R::blueToothHardwareHCIRevXMLTag, &R::blueToothHardwareHCIRev, KeyPath::neverReported()},
              {R::blueToothHardwareLMPVerXMLTag, &R::blueToothHardwareLMPVer, KeyPath::neverReported()},
              {R::blueToothHardwareLMPSubVerXMLTag, &R::blueToothHardwareLMPSubVer, KeyPath::neverReported()},
              {R::blueToothHardwareMJRDevTypeXMLTag, &R::blueToothHardwareMJRDevType, KeyPath::neverReported()},
              {R::blueToothHardwareCmpltDevTypeXMLTag, &R::blueToothHardwareCmpltDevType, KeyPath::neverReported()},
              {R::blueToothHardwareCompstClassXMLTag, &R::blueToothHardwareCompstClass, KeyPath::neverReported()},
              {R::blueToothHardwareMJRDevClsXMLTag, &R::blueToothHardwareMJRDevCls, KeyPath::neverReported()},
              {R::blueToothHardwareMinrDevClsXMLTag, &R::blueToothHardwareMinrDevCls, KeyPath::neverReported()},
              {R::blueToothHardwareSVCClsXMLTag, &R::blueToothHardwareSVCCls, KeyPath::neverReported()}}};
    }(),
    // Each entry is a one-key dictionary: the service's name, holding its settings.
    [] {
      using R = BlueToothServices;
      return Category<R>{
          .operation = "getBlueToothServices",
          .dataType = kBluetoothDataType,
          .fileName = kBluetoothFileName,
          .name = "blthservices",
          .fields =
              {{R::blueToothServicesSvcnameXMLTag, &R::blueToothServicesSvcname, KeyPath::entryName()},
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
               {R::blueToothServicesrcvitesmXMLTag, &R::blueToothServicesrcvitesm, {"service_OBEXReceive"}}},
          .records = Records::entriesUnder("services_title"),
          .log = {.eachEntry = kServiceEntryMark, .eachRecord = kServiceRecordMark}};
    }(),
    // Filed by the device's name like the services; the address is not reported.
    [] {
      using R = BlueToothDevices;
      return Category<R>{
          .operation = "getBlueToothDevices",
          .dataType = kBluetoothDataType,
          .fileName = kBluetoothFileName,
          .name = "blthdevices",
          .fields = {{R::blueToothDevicesDvcnameXMLTag, &R::blueToothDevicesDvcname, KeyPath::entryName()},
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
                     {R::blueToothDevicesesCosupportedXMLTag,
                      &R::blueToothDevicesesCosupported,
                      {"device_supportsESCO"}}},
          .records = Records::entriesUnder("device_title"),
          .log = {.entryCount = "blueToothDevArray "}};
    }(),
    [] {
      using R = NetworkInfo;
      return Category<R>{
          .operation = "getNetwokInfo",
          .dataType = "SPNetworkDataType",
          .fileName = "autodelete_SPNetworkDataType.plist",
          .name = "networkinfo",
          .fields =
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
               {R::networkProxyExcPlistXMLTag,
                &R::networkProxyExcPlist,
                {"Proxies", "ExceptionsList"},
                Conversion::Joined},
               {R::networkProxyFtpPsModeXMLTag, &R::networkProxyFtpPsMode, {"Proxies", "FTPPassive"}},
               {R::networkDispterwinXMLTag, &R::networkDispterwin, KeyPath::neverReported()},
               {R::networkDnsServAddXMLTag,
                &R::networkDnsServAdd,
                {"DNS", "ServerAddresses"},
                Conversion::FirstElement},
               {R::networkEthMacAddXMLTag, &R::networkEthMacAdd, {"Ethernet", "MAC Address"}},
               {R::networkEthMedoptionXMLTag,
                &R::networkEthMedoption,
                {"Ethernet", "MediaOptions"},
                Conversion::FirstElement},
               {R::networkEthMedSubtypeXMLTag, &R::networkEthMedSubtype, {"Ethernet", "MediaSubType"}},
               {R::networkSvcorderXMLTag, &R::networkSvcorder, {"spnetwork_service_order"}},
               {R::networkDhcpDomainnameXMLTag, &R::networkDhcpDomainname, {"dhcp", "dhcp_domain_name"}},
               {R::networkDhcpLeaseDurationXMLTag, &R::networkDhcpLeaseDuration, {"dhcp", "dhcp_lease_duration"}},
               {R::networkDhcpMsgTypeXMLTag, &R::networkDhcpMsgType, {"dhcp", "dhcp_message_type"}},
               {R::networkDhcpRoutersXMLTag, &R::networkDhcpRouters, {"dhcp", "dhcp_routers"}},
               {R::networkDhcpSrvIdentifierXMLTag, &R::networkDhcpSrvIdentifier, {"dhcp", "dhcp_server_identifier"}},
               {R::networkDhcpSubnetmaskXMLTag, &R::networkDhcpSubnetmask, {"dhcp", "dhcp_subnet_mask"}}},
          .log = {.itemCount = "network count:"}};
    }(),
    [] {
      using R = NetworkLocations;
      return Category<R>{
          .operation = "getLocationsInfo",
          .dataType = "SPNetworkLocationDataType",
          .fileName = "autodelete_SPNetworkLocationDataType.plist",
          .name = "locations",
          .fields = {{R::locTypeXMLTag, &R::locType, {"_name"}},
                     {R::activeLocXMLTag, &R::activeLoc, {"spnetworklocation_isActive"}}},
          .nesting = Nesting::Chained,
          .sub = {
              .element = "services",
              .records = &R::locSerArray,
              .list = "spnetworklocation_services",
              .fields = {{R::locDevNameXMLTag, &R::locDevName, {"_name"}},
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
                         {R::ieeeNameXMLTag, &R::ieeeName, KeyPath::readBy(&readers::readWirelessInterfaceName)},
                         {R::ieeeJoinMdFallBkXMLTag,
                          &R::ieeeJoinMdFallBk,
                          {"IEEE80211", "JoinModeFallback"},
                          Conversion::FirstElement},
                         {R::ieeePowerEnbldXMLTag, &R::ieeePowerEnbld, {"IEEE80211", "PowerEnabled"}},
                         {R::ieeeRemJoinNwXMLTag, &R::ieeeRemJoinNw, {"IEEE80211", "RememberJoinedNetworks"}}}}};
    }(),
};

// The software inventory.
inline const std::tuple kSoftwareCategories = {
    // The file name's lower-case s is what the agent has always used; the data type is spelled as
    // the profiler wants it. The time zone is not the profiler's: it is worked out afresh for each record.
    [] {
      using R = SystemInfo;
      return Category<R>{.operation = "getSystemInfo",
                         .dataType = "SPSoftwareDataType",
                         .fileName = "autodelete_SPsoftwareDataType.plist",
                         .name = "systeminfo",
                         .fields = {{R::systemVerXMLTag, &R::systemVer, {"os_version"}},
                                    {R::kernelVerXMLTag, &R::kernelVer, {"kernel_version"}},
                                    {R::bootVolumeXMLTag, &R::bootVolume, {"boot_volume"}},
                                    {R::bootModeXMLTag, &R::bootMode, {"boot_mode"}},
                                    {R::compNameXMLTag, &R::compName, {"local_host_name"}},
                                    {R::userNameXMLTag, &R::userName, {"user_name"}},
                                    {R::secVirMemXMLTag, &R::secVirMem, {"secure_vm"}},
                                    {R::bitKerExtXMLTag, &R::bitKerExt, {"64bit_kernel_and_kexts"}},
                                    {R::bootDurationXMLTag, &R::bootDuration, {"uptime"}}},
                         .extra = {{R::systemTimeZone, &R::timeZone}}};
    }(),
    [] {
      using R = ApplicationInfo;
      return Category<R>{.operation = "getApplicationInfo",
                         .dataType = "SPApplicationsDataType",
                         .fileName = "autodelete_SPApplicationsDataType.plist",
                         .name = "applicationinfo",
                         .fields = {{R::appNameXMLTag, &R::appName, {"_name"}},
                                    {R::appVersionXMLTag, &R::appVersion, {"version"}},
                                    {R::lastModifiedXMLTag, &R::lastModified, {"lastModified"}, Conversion::Date},
                                    {R::kindXMLTag, &R::kind, {"runtime_environment"}},
                                    {R::intel64BitXMLTag, &R::intel64Bit, {"has64BitIntelCode"}},
                                    {R::getInfoStringXMLTag, &R::getInfoString, {"info"}},
                                    {R::appStoreXMLTag, &R::appStore, {"app_store"}},
                                    {R::appLocationXMLTag, &R::appLocation, {"path"}}},
                         .streams = true,
                         .log = {.itemCount = "app count:"}};
    }(),
    [] {
      using R = USBBus;
      using S = USBDevices;
      return Category<R, S>{.operation = "getUSBInfo",
                            .dataType = "SPUSBDataType",
                            .fileName = "autodelete_SPUSBDataType.plist",
                            .name = "usbinfo",
                            .fields = {{R::usbBoardXMLTag, &R::usbBoard, {"_name"}},
                                       {R::hostLocationXMLTag, &R::hostLocation, {"controller_location"}},
                                       {R::hostDriverXMLTag, &R::hostDriver, {"host_controller"}},
                                       {R::pciDeviceIDXMLTag, &R::pciDeviceID, {"pci_device"}},
                                       {R::pciRevisionIdXMLTag, &R::pciRevisionId, {"pci_revision"}},
                                       {R::pciVendorIDXMLTag, &R::pciVendorID, {"pci_vendor"}},
                                       {R::busNumXMLTag, &R::busNum, {"usb_bus_number"}}},
                            .sub = {.element = "usbdevices",
                                    .records = &R::devicesArray,
                                    .reader = &readers::readUSBDevicesBehindFirstLevel,
                                    .fields = {{S::usbDevNameXMLTag, &S::usbDevName, {"_name"}},
                                               {S::productIDXMLTag, &S::productID, {"a_product_id"}},
                                               {S::usbVendorIDXMLTag, &S::usbVendorID, {"b_vendor_id"}},
                                               {S::usbVersionXMLTag, &S::usbVersion, {"c_bcd_device"}},
                                               {S::usbSerialNumXMLTag, &S::usbSerialNum, {"d_serial_num"}},
                                               {S::usbSpeedXMLTag, &S::usbSpeed, {"e_device_speed"}},
                                               {S::usbmanufacturerXMLTag, &S::usbmanufacturer, {"f_manufacturer"}},
                                               {S::usbLocIDXMLTag, &S::usbLocID, {"g_location_id"}},
                                               {S::currAvailableXMLTag, &S::currAvailable, {"h_bus_power"}},
                                               {S::currRequiredXMLTag, &S::currRequired, {"j_bus_power_used"}}}},
                            .log = {.itemCount = "bus count:"}};
    }(),
};

template <class List>
using ListType = std::remove_const_t<List>;

// Where in List the category whose records are of type R is; the list's size
// when it has none.
template <class R, class List>
constexpr std::size_t indexOf() {
  return []<std::size_t... I>(std::index_sequence<I...>) {
    std::size_t at = sizeof...(I);
    ((at == sizeof...(I) && std::is_same_v<typename std::tuple_element_t<I, List>::Record, R> ? at = I : at), ...);
    return at;
  }
  (std::make_index_sequence<std::tuple_size_v<List>>());
}

// The category whose records are of type R, in either list.
template <class R>
const auto& categoryOf() {
  using Hardware = ListType<decltype(kHardwareCategories)>;
  using Software = ListType<decltype(kSoftwareCategories)>;
  if constexpr (indexOf<R, Hardware>() < std::tuple_size_v<Hardware>) {
    return std::get<indexOf<R, Hardware>()>(kHardwareCategories);
  } else {
    return std::get<indexOf<R, Software>()>(kSoftwareCategories);
  }
}

// The machine-details report reads the software data type through a file of its own.
inline constexpr std::string_view kMacDetailsFileName = "autodelete_SPsoftwareDataTypeMACDtls.plist";

// What the SMART-status report takes from the first controller and its first drive.
inline const Fields<DiskInfo> kSmartControllerFields{
    {DiskInfo::descriptionXMLTag, &DiskInfo::description, {"spsata_portdescription"}}};
inline const Fields<DiskInfo> kSmartDriveFields{
    {DiskInfo::modelXMLTag, &DiskInfo::model, {"device_model"}, Conversion::NoBlankPairs},
    {DiskInfo::diskBSDNameXMLTag, &DiskInfo::diskBSDName, {"bsd_name"}},
    {DiskInfo::smartStatusXMLTag, &DiskInfo::smartStatus, {"smart_status"}}};

}  // namespace brim::tables
