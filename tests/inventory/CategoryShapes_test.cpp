// The shapes the categories take on the situations real machines produce
// less often: missing keys, controllers without drives, several groups,
// several locations, nested USB devices, cards without displays.
#include <gtest/gtest.h>

#include <string>

#include "inventory/ProfilerReplay.h"
#include "inventory/collectData.h"

namespace brim::test {
namespace {

std::string key(const std::string& name, const std::string& value) {
  return "<key>" + name + "</key><string>" + value + "</string>";
}
std::string dict(const std::string& body) { return "<dict>" + body + "</dict>"; }
std::string array(const std::string& body) { return "<array>" + body + "</array>"; }
std::string keyed(const std::string& name, const std::string& value) { return "<key>" + name + "</key>" + value; }

TEST(CategoryShapes, HardwareWithoutL3CacheWritesZeroAndMissingKeysAsNull) {
  ProfilerReplay replay;
  replay.serveItems("SPHardwareDataType", dict(key("machine_name", "Mac mini") + key("l2_cache_core", "256 KB") +
                                               key("physical_memory", "4096 MB")));
  collectData collector = replay.collector();
  EXPECT_EQ(outline(collector.getHardwareInfo()),
            "fn\n"
            "  fnname \"hardwareinfo\"\n"
            "  dtl ID=0\n"
            "    mdlname [Mac mini]\n"
            "    mdlidentifr [(null)]\n"
            "    processor [(null)]\n"
            "    processorspd [(null)]\n"
            "    numofprocessor [(null)]\n"
            "    numofcores [(null)]\n"
            "    l2cache [262144]\n"
            "    l3cache [0]\n"
            "    memory [4294967296]\n"
            "    btromver [(null)]\n"
            "    smcver [(null)]\n"
            "    srlnum [(null)]\n"
            "    hrduuid [(null)]\n");
}

TEST(CategoryShapes, TwoControllersTheFirstWithTwoVolumesTheSecondEmpty) {
  ProfilerReplay replay;
  const std::string volumes =
      array(dict(key("_name", "Macintosh HD") + key("size", "499.25 GB") + key("free_space", "120.5 GB") +
                 key("writable", "yes") + key("file_system", "Journaled HFS+") + key("bsd_name", "disk0s2") +
                 key("mount_point", "/") + key("iocontent", "Apple_HFS")) +
            dict(key("_name", "Recovery HD") + key("size", "650 MB")));
  const std::string firstDrive = dict(key("_name", "APPLE SSD") + key("size", "500.28 GB") +
                                      key("device_model", "APPLE SSD SM0512F") + keyed("volumes", volumes));
  // Only the first drive of a controller is reported.
  const std::string secondDrive = dict(key("_name", "Other") + key("device_model", "never seen") +
                                       keyed("volumes", array(dict(key("_name", "X")))));
  replay.serveItems("SPSerialATADataType",
                    dict(key("_name", "Apple SSD Controller") + keyed("_items", array(firstDrive + secondDrive))) +
                        dict(key("_name", "Intel 6 Series Chipset") + keyed("_items", array(""))));
  collectData collector = replay.collector();
  const std::string noDrive =
      "    capacity [0]\n    model [(null)]\n    revision [(null)]\n    srlno [(null)]\n    ntcmdq [(null)]\n"
      "    queuedepth [(null)]\n    removalblemedia [(null)]\n    dtchbldrive [(null)]\n    bsdname [(null)]\n"
      "    rtrate [(null)]\n    mediumtype [(null)]\n    bayname [(null)]\n    prtmaptype [(null)]\n"
      "    smartstatus [(null)]\n";
  EXPECT_EQ(outline(collector.getDiskInfo()),
            "fn\n"
            "  fnname \"diskinfo\"\n"
            "  dtl ID=0\n"
            "    vendor [Apple SSD Controller]\n"
            "    product [(null)]\n    lnkspeed [(null)]\n    nlnkspeed [(null)]\n    descr [(null)]\n"
            "    capacity [536870912000]\n"
            "    model [APPLE SSD SM0512F]\n"
            "    revision [(null)]\n    srlno [(null)]\n    ntcmdq [(null)]\n    queuedepth [(null)]\n"
            "    removalblemedia [(null)]\n    dtchbldrive [(null)]\n    bsdname [(null)]\n    rtrate [(null)]\n"
            "    mediumtype [(null)]\n    bayname [(null)]\n    prtmaptype [(null)]\n    smartstatus [(null)]\n"
            "    vol ID=0\n"
            "      volname [Macintosh HD]\n"
            "      capacity [535797170176]\n"
            "      available [128849018880]\n"
            "      writable [yes]\n"
            "      filesys [Journaled HFS+]\n"
            "      bsdname [disk0s2]\n"
            "      mntpoint [/]\n"
            "      content [Apple_HFS]\n"
            "    vol ID=1\n"
            "      volname [Recovery HD]\n"
            "      capacity [681574400]\n"
            "      available [0]\n"
            "      writable [(null)]\n      filesys [(null)]\n      bsdname [(null)]\n      mntpoint [(null)]\n"
            "      content [(null)]\n"
            "  dtl ID=1\n"
            "    vendor [Intel 6 Series Chipset]\n"
            "    product [(null)]\n    lnkspeed [(null)]\n    nlnkspeed [(null)]\n    descr [(null)]\n" +
                noDrive);
}

TEST(CategoryShapes, NetworkServiceJoinsListsWithoutBlanksAndKeepsTheFirstDNSServer) {
  ProfilerReplay replay;
  replay.serveItems(
      "SPNetworkDataType",
      dict(key("_name", "Wi-Fi") + key("type", "AirPort") + key("interface", "en1") +
           keyed("IPv4", dict(key("ConfigMethod", "DHCP") +
                              keyed("Addresses", array("<string>10.0.0.5</string>"
                                                       "<string>192.168.1.7</string>")) +
                              keyed("SubnetMasks", array("<string>255.255.255.0</string>")))) +
           keyed("Proxies", dict(keyed("ExceptionsList", array("")) + key("FTPPassive", "yes"))) +
           keyed("DNS", dict(keyed("ServerAddresses", array("<string>10.0.0.1</string><string>8.8.8.8</string>")))) +
           keyed("Ethernet", dict(key("MAC Address", "00:25:00:4c:1a:2b") +
                                  keyed("MediaOptions", array("<string>full-duplex</string><string>x</string>")))) +
           keyed("spnetwork_service_order", "<integer>1</integer>")));
  collectData collector = replay.collector();
  EXPECT_EQ(outline(collector.getNetwokInfo()),
            "fn\n"
            "  fnname \"networkinfo\"\n"
            "  dtl ID=0\n"
            "    dvcname [Wi-Fi]\n"
            "    type [AirPort]\n"
            "    hardware [(null)]\n"
            "    bsddevname [en1]\n"
            "    ipv4confmethd [DHCP]\n"
            "    ipv4address [10.0.0.5,192.168.1.7]\n"
            "    ipv4intfcname [(null)]\n"
            "    ipv4ntsign [(null)]\n"
            "    ipv4router [(null)]\n"
            "    ipv4subnetmask [255.255.255.0]\n"
            "    ipv6confmethd [(null)]\n"
            "    proxyexcplist []\n"
            "    proxyftppsmode [yes]\n"
            "    dispterwin [(null)]\n"
            "    dnsservadd [10.0.0.1]\n"
            "    ethmacadd [00:25:00:4c:1a:2b]\n"
            "    ethmedoption [full-duplex]\n"
            "    ethmedsubtype [(null)]\n"
            "    svcorder [1]\n"
            "    dhcpdomainname [(null)]\n"
            "    dhcpleaseduration [(null)]\n"
            "    dhcpmsgtype [(null)]\n"
            "    dhcprouters [(null)]\n"
            "    dhcpsrvidentifier [(null)]\n"
            "    dhcpsubnetmask [(null)]\n");
}

TEST(CategoryShapes, ACardWithTwoDisplaysAndASecondCardWithNone) {
  ProfilerReplay replay;
  replay.serveItems(
      "SPDisplaysDataType",
      dict(key("sppci_model", "NVIDIA GeForce GT 650M") + key("spdisplays_vram", "1024 MB") +
           keyed("spdisplays_ndrvs", array(dict(key("_name", "Color LCD") + key("spdisplays_main", "spdisplays_yes")) +
                                           dict(key("_name", "DELL U2412M"))))) +
          dict(key("sppci_model", "Intel HD Graphics 4000")));
  collectData collector = replay.collector();
  const std::string cardTail =
      "    vendor [(null)]\n    deviceid [(null)]\n    revisionid [(null)]\n"
      "    romver [(null)]\n    efidrvver [(null)]\n";
  const std::string displayTail =
      "      mirror [(null)]\n      online [(null)]\n      builtin [(null)]\n"
      "      conntype [(null)]\n";
  EXPECT_EQ(outline(collector.getGraphicInfo()),
            "fn\n"
            "  fnname \"graphicinfo\"\n"
            "  dtl ID=0\n"
            "    chpsetmodel [NVIDIA GeForce GT 650M]\n"
            "    type [(null)]\n    bus [(null)]\n    pcilanewidth [(null)]\n"
            "    vram [1073741824]\n" +
                cardTail +
                "    dispconn ID=0\n"
                "      name [Color LCD]\n      resolution [(null)]\n      pixdepth [(null)]\n"
                "      maindisp [spdisplays_yes]\n" +
                displayTail +
                "    dispconn ID=1\n"
                "      name [DELL U2412M]\n      resolution [(null)]\n      pixdepth [(null)]\n"
                "      maindisp [(null)]\n" +
                displayTail +
                "  dtl ID=1\n"
                "    chpsetmodel [Intel HD Graphics 4000]\n"
                "    type [(null)]\n    bus [(null)]\n    pcilanewidth [(null)]\n"
                "    vram [0]\n" +
                cardTail);
}

// Modules are numbered within their group and a record is entered by the
// first "dtl" with its number, so a second group's values land in the first
// group's elements and its own stay empty.
TEST(CategoryShapes, SecondMemoryGroupLandsInTheFirstGroupsElements) {
  ProfilerReplay replay;
  replay.serveItems("SPMemoryDataType",
                    dict(key("global_ecc_state", "ecc_enabled") +
                         keyed("_items", array(dict(key("_name", "DIMM A1") + key("dimm_size", "8 GB"))))) +
                        dict(key("global_ecc_state", "ecc_disabled") +
                             keyed("_items", array(dict(key("_name", "DIMM B1") + key("dimm_size", "16 GB"))))) +
                        dict(key("_name", "a group without modules")));
  collectData collector = replay.collector();
  const std::string rest =
      "    type [(null)]\n    speed [(null)]\n    status [(null)]\n    manufacturer [(null)]\n"
      "    partnum [(null)]\n    srlnum [(null)]\n";
  EXPECT_EQ(outline(collector.getMemoryInfo()),
            "fn\n"
            "  fnname \"memoryinfo\"\n"
            "  dtl ID=0\n"
            "    ecc [ecc_enabled]\n    slot [DIMM A1]\n    size [8589934592]\n" +
                rest + "    ecc [ecc_disabled]\n    slot [DIMM B1]\n    size [17179869184]\n" + rest + "  dtl ID=0\n");
}

std::string locationItem(const std::string& name, const std::string& services) {
  return dict(key("_name", name) + key("spnetworklocation_isActive", "no") +
              keyed("spnetworklocation_services", array(services)));
}

// The outline of a service with only a name and a type.
std::string bareService(const std::string& indent, int id, const std::string& name) {
  std::string text = indent + "services ID=" + std::to_string(id) + "\n" + indent + "  dvcname [" + name + "]\n";
  for (const char* tag : {"bsddevname", "hrdmacadd"}) text += indent + "  " + tag + " [(null)]\n";
  text += indent + "  type [Ethernet]\n";
  for (const char* tag : {"ipv4confmethd", "ipv6confmethd"}) text += indent + "  " + tag + " [(null)]\n";
  text += indent + "  proxyexcplist []\n";
  for (const char* tag :
       {"proxyftppsmode", "pppascpenabled",   "redialcourt",       "redialenabled",    "redialintrvl",
        "usetermscrpt",   "dialondemand",     "disctfstuserswtch", "idledisconnect",   "idlediscttimer",
        "logoutdisct",    "slpdisct",         "idlreminder",       "idlremindertime",  "ipcpcmpvj",
        "lcpechoenbld",   "lcpechofailure",   "lcpechointerval",   "logfile",          "verbiselog",
        "ieeename",       "ieeejoinmdfallbk", "ieeepwrenabled",    "ieeeremjoinntwrks"}) {
    text += indent + "  " + tag + " [(null)]\n";
  }
  return text;
}

TEST(CategoryShapes, OneLocationWithTwoServicesHasOneNameAndOneRecord) {
  ProfilerReplay replay;
  replay.serveItems("SPNetworkLocationDataType",
                    locationItem("Office", dict(key("_name", "Ethernet 1") + key("type", "Ethernet")) +
                                               dict(key("_name", "Ethernet 2") + key("type", "Ethernet"))));
  collectData collector = replay.collector();
  EXPECT_EQ(outline(collector.getLocationsInfo()),
            "fn\n  fnname \"locations\"\n  dtl\n    type [Office]\n"
            "    activeloc [no]\n" +
                bareService("    ", 0, "Ethernet 1") + bareService("    ", 1, "Ethernet 2"));
}

// Each location writes its name and record where the previous one left the
// insertion point: inside the previous record.
TEST(CategoryShapes, ASecondLocationNestsInsideTheFirst) {
  ProfilerReplay replay;
  replay.serveItems(
      "SPNetworkLocationDataType",
      locationItem("Automatic", dict(key("_name", "Ethernet") + key("type", "Ethernet"))) + locationItem("Travel", ""));
  collectData collector = replay.collector();
  EXPECT_EQ(outline(collector.getLocationsInfo()),
            "fn\n  fnname \"locations\"\n  dtl\n    type [Automatic]\n"
            "    activeloc [no]\n" +
                bareService("    ", 0, "Ethernet") +
                "    fnname \"locations\"\n    dtl\n      type [Travel]\n"
                "      activeloc [no]\n");
}

TEST(CategoryShapes, NoLocationAtAllWritesNoName) {
  ProfilerReplay replay;
  replay.serveItems("SPNetworkLocationDataType", "");
  collectData collector = replay.collector();
  EXPECT_EQ(outline(collector.getLocationsInfo()), "fn\n");
}

TEST(CategoryShapes, WirelessNameIsTheServicesSecondKeyOnlyWithWirelessSettings) {
  ProfilerReplay replay;
  const std::string wireless = dict(keyed("IEEE80211", dict(keyed("JoinModeFallback", array("<string>Prompt</string>"
                                                                                            "<string>x</string>")) +
                                                            keyed("PowerEnabled", "<true/>"))) +
                                    key("_name", "Wi-Fi") + key("type", "IEEE80211"));
  const std::string emptyWireless = dict(keyed("IEEE80211", "<dict/>") + key("_name", "Wi-Fi 2"));
  replay.serveItems("SPNetworkLocationDataType", locationItem("Home", wireless + emptyWireless));
  collectData collector = replay.collector();
  const std::string text = outline(collector.getLocationsInfo());
  EXPECT_NE(text.find("      ieeename [_name]\n      ieeejoinmdfallbk [Prompt]\n      ieeepwrenabled [1]\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("dvcname [Wi-Fi 2]"), std::string::npos);
  EXPECT_EQ(text.rfind("ieeename [(null)]"), text.rfind("ieeename"));
}

TEST(CategoryShapes, UsbDevicesAreTheSecondLevelBelowEachBus) {
  ProfilerReplay replay;
  const auto device = [](const std::string& name) { return dict(key("_name", name)); };
  replay.serveItems(
      "SPUSBDataType",
      dict(key("_name", "USB 3.0 Bus") +
           keyed("_items",
                 array(dict(key("_name", "Hub A") + keyed("_items", array(device("a1") + device("a2")))) +
                       dict(key("_name", "Hub B") +
                            keyed("_items", array(device("b1") +
                                                  dict(key("_name", "b2") + keyed("_items", array(device("deep")))) +
                                                  device("b3"))))))) +
          dict(key("_name", "Bus without devices") + keyed("_items", array(device("camera")))));
  collectData collector = replay.collector();
  ::testing::internal::CaptureStdout();
  const std::string text = outline(collector.getUSBInfo());
  const std::string log = ::testing::internal::GetCapturedStdout();

  std::string names;
  for (std::size_t at = text.find("devname ["); at != std::string::npos; at = text.find("devname [", at + 1)) {
    names += text.substr(at + 9, text.find(']', at) - at - 9) + " ";
  }
  EXPECT_EQ(names, "a1 a2 b1 b2 b3 ");
  for (const char* id : {"usbdevices ID=0", "usbdevices ID=4", "dtl ID=1"}) EXPECT_NE(text.find(id), std::string::npos);
  EXPECT_EQ(text.find("usbdevices ID=5"), std::string::npos);
  EXPECT_EQ(text.substr(text.find("  dtl ID=1")),
            "  dtl ID=1\n    usbboard [Bus without devices]\n    hstctrllocation [(null)]\n    hstctrldrv [(null)]\n"
            "    pcideviceid [(null)]\n    pcirevisioid [(null)]\n    pcivendorid [(null)]\n    busnum [(null)]\n");
  EXPECT_NE(log.find("-[collectData getUSBInfo]:bus count:2\n"
                     "-[collectData getUSBInfo]:device count:2\n"
                     "-[collectData getUSBInfo]:device count:3\n"
                     "-[collectData getUSBInfo]:device count:0\n"),
            std::string::npos)
      << log;
}

TEST(CategoryShapes, PowerTypeIsTheSecondKeyAndUpsNeedsASecondItem) {
  ProfilerReplay replay;
  replay.serveItems(
      "SPPowerDataType",
      dict(keyed("AC Power", dict(keyed("System Sleep Timer", "<integer>10</integer>") + key("Wake On LAN", "Yes"))) +
           key("_name", "sppower_information")));
  collectData collector = replay.collector();
  const std::string power = outline(collector.getPowerInfo());
  EXPECT_NE(power.find("  dtl\n    pwrtype [_name]\n    sysslptimer [10]\n"), std::string::npos) << power;
  EXPECT_NE(power.find("    wkonlan [Yes]\n"), std::string::npos);
  EXPECT_EQ(outline(collector.getHWConfigInfo()), "fn\n  fnname \"hardwareconfig\"\n");

  replay.serveItems("SPPowerDataType", dict(key("_name", "only one key")));
  EXPECT_NE(outline(collector.getPowerInfo()).find("    pwrtype [(null)]\n    sysslptimer [(null)]\n"),
            std::string::npos);
}

TEST(CategoryShapes, BluetoothServicesLogWhileReadingThenWhileWriting) {
  ProfilerReplay replay;
  replay.serve("SPBluetoothDataType", "inventory/SPBluetoothDataType-paired.xml");
  collectData collector = replay.collector();
  ::testing::internal::CaptureStdout();
  collector.getBlueToothServices();
  collector.getBlueToothDevices();
  const std::string log = ::testing::internal::GetCapturedStdout();
  const std::string services = "-[collectData getBlueToothServices]:";
  EXPECT_NE(log.find(services + "getBlueToothServices\n" + services + "2\n" + services + "2\n" + services + "3\n" +
                     services + "3\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("-[collectData getBlueToothDevices]:blueToothDevArray 2\n"), std::string::npos) << log;
}

TEST(CategoryShapes, BluetoothControllerWithoutLocalDeviceKeepsOnlyItsVersion) {
  ProfilerReplay replay;
  replay.serveItems("SPBluetoothDataType", dict(key("apple_bluetooth_version", "4.1.7f2")));
  collectData collector = replay.collector();
  const std::string text = outline(collector.getBlueToothHardWareInfo());
  EXPECT_NE(text.find("    blthver [4.1.7f2]\n"), std::string::npos);
  std::size_t nulls = 0;
  for (std::size_t at = text.find("[(null)]"); at != std::string::npos; at = text.find("[(null)]", at + 1)) ++nulls;
  EXPECT_EQ(nulls, 18u);
}

TEST(CategoryShapes, EntryWithoutAKeyGivesANullRecord) {
  ProfilerReplay replay;
  replay.serveItems("SPBluetoothDataType", dict(keyed("device_title", array("<dict/>"))));
  collectData collector = replay.collector();
  const std::string text = outline(collector.getBlueToothDevices());
  EXPECT_NE(text.find("  dtl ID=0\n    dvcname [(null)]\n    type [(null)]\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("address"), std::string::npos);
}

TEST(CategoryShapes, CardReaderAndDiscBurnerCountsAreLogged) {
  ProfilerReplay replay;
  replay.serve("SPCardReaderDataType", "macos/mac-a/SPCardReaderDataType.xml");
  replay.serve("SPDiscBurningDataType", "macos/mac-a/SPDiscBurningDataType.xml");
  replay.serve("SPNetworkDataType", "macos/mac-a/SPNetworkDataType.xml");
  collectData collector = replay.collector();
  ::testing::internal::CaptureStdout();
  collector.getCardreaderInfo();
  collector.getDiscBurninginfo();
  collector.getNetwokInfo();
  const std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("-[collectData getCardreaderInfo]:count:1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("-[collectData getDiscBurninginfo]:disc count:1\n"
                     "-[collectData getDiscBurninginfo]:discBurnDataDictionary "),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("-[collectData getNetwokInfo]:network count:5\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace brim::test
