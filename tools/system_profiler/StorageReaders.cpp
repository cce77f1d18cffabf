// Disks with their volumes, network volumes, card readers and optical drives.
#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "Devices.h"
#include "Mounts.h"
#include "Readers.h"

namespace profiler {

namespace {

// Block devices that are no drives of their own.
bool isVirtualBlock(const std::string& name) {
  for (const char* prefix : {"loop", "ram", "zram", "dm-", "md", "sr", "nbd", "fd", "mtd", "zd"})
    if (name.compare(0, std::string(prefix).size(), prefix) == 0) return true;
  return false;
}

std::optional<std::string> gigabits(const std::optional<std::string>& speed) {
  // "6.0 Gbps" -> "6 Gigabit", "1.5 Gbps" -> "1.5 Gigabit"
  if (!speed || speed->find("Gbps") == std::string::npos) return std::nullopt;
  std::string number = trim(speed->substr(0, speed->find("Gbps")));
  if (number.size() > 2 && number.compare(number.size() - 2, 2, ".0") == 0) number.resize(number.size() - 2);
  return number + " Gigabit";
}

std::optional<std::string> smartStatus(const SystemRoot& root, const std::string& name) {
  auto output = root.smartHealth("/dev/" + name);
  if (!output) return std::nullopt;
  if (output->find("PASSED") != std::string::npos) return std::string("Verified");
  if (output->find("FAILED") != std::string::npos) return std::string("Failing");
  return std::nullopt;
}

std::optional<std::string> partitionContent(const std::map<std::string, std::string>& udev) {
  static const std::map<std::string, std::string> kTypes = {
      {"c12a7328-f81f-11d2-ba4b-00a0c93ec93b", "EFI"},
      {"0fc63daf-8483-4772-8e79-3d69d8477de4", "Linux Filesystem"},
      {"0657fd6d-a4ab-43c4-84e5-0933c84b4f4f", "Linux Swap"},
      {"4f68bce3-e8cd-4db1-96e7-fbcaf984b709", "Linux Root (x86-64)"},
      {"e6d6d379-f507-44c2-a23c-238f2a3df928", "Linux LVM"},
      {"ebd0a0a2-b9e5-4433-87c0-68b6b72699c7", "Microsoft Basic Data"},
      {"21686148-6449-6e6f-744e-656564454649", "BIOS Boot"},
      {"0x83", "Linux"},
      {"0x82", "Linux Swap"},
      {"0xef", "EFI"},
      {"0x7", "Windows_NTFS"},
      {"0xc", "DOS_FAT_32"},
      {"0x5", "Extended"},
      {"0x8e", "Linux LVM"}};
  auto type = udev.find("ID_PART_ENTRY_TYPE");
  if (type == udev.end()) return std::nullopt;
  auto known = kTypes.find(type->second);
  return known == kTypes.end() ? type->second : known->second;
}

std::optional<std::string> udevValue(const std::map<std::string, std::string>& udev, const std::string& key) {
  auto it = udev.find(key);
  return it == udev.end() || it->second.empty() ? std::nullopt : std::optional<std::string>(it->second);
}

Node volume(const SystemRoot& root, const std::vector<Mount>& allMounts, const std::string& sysPath,
            const std::string& name) {
  const std::string devNumber = root.read(sysPath + "/dev").value_or("");
  const auto udev = udevProperties(root, devNumber);
  Dict vol;
  vol.set("_name", udevValue(udev, "ID_FS_LABEL").value_or(name)).set("bsd_name", name);
  if (auto sectors = root.read(sysPath + "/size"); sectors && parseNumber(*sectors)) {
    const uint64_t bytes = *parseNumber(*sectors) * 512;
    vol.set("size", decimalSize(bytes)).setInteger("size_in_bytes", static_cast<int64_t>(bytes));
  }
  vol.set("iocontent", partitionContent(udev)).set("volume_uuid", udevValue(udev, "ID_FS_UUID"));
  if (auto mount = mountOf(allMounts, devNumber, name)) {
    vol.set("mount_point", mount->mountPoint).set("file_system", mount->fsType).set("writable", yesNo(mount->writable));
    if (auto space = root.fsSpace(mount->mountPoint))
      vol.set("free_space", decimalSize(space->freeBytes))
          .setInteger("free_space_in_bytes", static_cast<int64_t>(space->freeBytes));
  } else {
    vol.set("file_system", udevValue(udev, "ID_FS_TYPE"));
  }
  return vol.take();
}

// "AHCI Version 1.30 Supported", from the host adapter below the controller.
std::optional<std::string> ahciDescription(const SystemRoot& root, const std::string& pciPath) {
  for (const auto& host : root.list("/sys/class/scsi_host")) {
    const std::string sys = "/sys/class/scsi_host/" + host;
    if (root.resolve(sys).value_or("").compare(0, pciPath.size() + 1, pciPath + "/") != 0) continue;
    auto version = root.read(sys + "/ahci_host_version");
    if (!version) continue;
    const uint64_t v = parseNumber("0x" + *version).value_or(0);
    char text[64];
    std::snprintf(text, sizeof text, "AHCI Version %llx.%llx%llx Supported", static_cast<unsigned long long>(v >> 16),
                  static_cast<unsigned long long>((v >> 8) & 0xff), static_cast<unsigned long long>(v & 0xff));
    return std::string(text);
  }
  return std::nullopt;
}

struct Controller {
  Dict item;
  List drives;
};

}  // namespace

Node readSerialATA(const SystemRoot& root) {
  const auto allMounts = mounts(root);
  std::vector<std::string> order;
  std::map<std::string, Controller> controllers;
  for (const auto& name : root.list("/sys/block")) {
    if (isVirtualBlock(name)) continue;
    const std::string sys = "/sys/block/" + name;
    auto sectors = root.read(sys + "/size");
    if (!sectors || parseNumber(*sectors).value_or(0) == 0) continue;
    const auto resolved = root.resolve(sys).value_or(sys);
    const auto pci = pciDeviceAbove(root, sys + "/device");

    // A SATA port is a controller of its own, as the real report lists them.
    std::string key = pci ? pci->slot : "virtual";
    std::optional<std::string> port;
    if (auto at = resolved.find("/ata"); at != std::string::npos) {
      port = resolved.substr(at + 4, resolved.find('/', at + 1) - at - 4);
      key += "/ata" + *port;
    }
    if (!controllers.count(key)) {
      order.push_back(key);
      Controller& controller = controllers[key];
      if (pci) {
        controller.item.set("_name", displayName(*pci))
            .set("spsata_vendor", vendorName(*pci).value_or(hexId(pci->vendor.value_or(0), 4)))
            .set("spsata_product", pci->deviceName.value_or(hexId(pci->device.value_or(0), 4)));
      } else {
        controller.item.set("_name", "Virtual Storage Controller");
      }
      if (port) {
        const std::string link = "/sys/class/ata_link/link" + *port;
        controller.item.set("spsata_portspeed", gigabits(root.read(link + "/hw_sata_spd_limit")))
            .set("spsata_negotiatedlinkspeed", gigabits(root.read(link + "/sata_spd")));
      }
      if (pci) controller.item.set("spsata_portdescription", ahciDescription(root, pci->path));
    }

    const std::string devNumber = root.read(sys + "/dev").value_or("");
    const auto udev = udevProperties(root, devNumber);
    auto model = root.read(sys + "/device/model");
    if (!model) model = udevValue(udev, "ID_MODEL");
    const auto driver = root.linkName(sys + "/device/driver");
    std::string display = model ? trim(*model) : "";
    if (display.empty()) display = driver && *driver == "virtio_blk" ? "VirtIO Block Device" : name;
    Dict drive;
    // Disks without a model string (virtio) are named by their driver, model included,
    // so that reports naming the disk by its model have something to say.
    drive.set("_name", display).set("bsd_name", name).set("device_model", model ? *model : display);
    auto revision = root.read(sys + "/device/rev");
    if (!revision) revision = root.read(sys + "/device/firmware_rev");
    drive.set("device_revision", revision);
    auto serial = root.read(sys + "/serial");
    if (!serial) serial = root.read(sys + "/device/serial");
    if (!serial) serial = udevValue(udev, "ID_SERIAL_SHORT");
    drive.set("device_serial", serial ? std::optional<std::string>(trim(*serial)) : std::nullopt);
    const uint64_t bytes = parseNumber(*sectors).value_or(0) * 512;
    drive.set("size", decimalSize(bytes)).setInteger("size_in_bytes", static_cast<int64_t>(bytes));
    const bool removable = root.read(sys + "/removable").value_or("0") == "1";
    const bool usb = resolved.find("/usb") != std::string::npos;
    drive.set("removable_media", yesNo(removable)).set("detachable_drive", yesNo(removable || usb));
    if (auto rotational = root.read(sys + "/queue/rotational"))
      drive.set("spsata_medium_type", *rotational == "1" ? "Rotational" : "Solid State");
    if (auto depth = root.read(sys + "/device/queue_depth"); depth && parseNumber(*depth))
      drive.set("spsata_ncq", *parseNumber(*depth) > 1 ? "Yes" : "No").set("spsata_ncq_depth", *depth);
    if (auto table = udevValue(udev, "ID_PART_TABLE_TYPE"))
      drive.set("partition_map_type", *table == "gpt"   ? "guid_partition_map_type"
                                      : *table == "dos" ? "master_boot_record_partition_map_type"
                                                        : *table);
    drive.set("smart_status", smartStatus(root, name));

    List volumes;
    for (const auto& child : root.list(sys))
      if (root.exists(sys + "/" + child + "/partition"))
        volumes.append(volume(root, allMounts, sys + "/" + child, child));
    // A file system on the whole disk is its one volume.
    if (volumes.size() == 0 && mountOf(allMounts, devNumber, name)) volumes.append(volume(root, allMounts, sys, name));
    if (volumes.size()) drive.setNode("volumes", volumes.take());
    controllers[key].drives.append(std::move(drive));
  }
  List items;
  for (const auto& key : order) {
    Controller& controller = controllers[key];
    controller.item.setNode("_items", controller.drives.take());
    items.append(std::move(controller.item));
  }
  return items.take();
}

Node readNetworkVolumes(const SystemRoot& root) {
  static const std::set<std::string> kNetworkTypes = {"nfs",   "nfs4",   "cifs",  "smb3",           "smbfs",
                                                      "afs",   "9p",     "ceph",  "davfs",          "fuse.sshfs",
                                                      "ncpfs", "autofs", "afpfs", "fuse.glusterfs", "glusterfs"};
  List items;
  for (const auto& mount : mounts(root)) {
    if (!kNetworkTypes.count(mount.fsType)) continue;
    std::string name = mount.mountPoint.substr(mount.mountPoint.rfind('/') + 1);
    if (name.empty()) name = mount.mountPoint;
    items.append(Dict()
                     .set("_name", name)
                     .set("spnetworkvolume_automounted", mount.fsType == "autofs" ? "Yes" : "No")
                     .set("spnetworkvolume_fsmtnonname", mount.mountPoint)
                     .set("spnetworkvolume_fstypename", mount.fsType)
                     .set("spnetworkvolume_mntfromname", mount.source));
  }
  return items.take();
}

Node readCardReaders(const SystemRoot& root) {
  List items;
  for (const auto& host : root.list("/sys/class/mmc_host")) {
    const std::string sys = "/sys/class/mmc_host/" + host;
    auto pci = pciDeviceAbove(root, sys + "/device");
    if (!pci) continue;  // eMMC and SDIO controllers of a system on chip are no card readers
    List cards;
    for (const auto& card : root.list(sys))
      if (card.compare(0, host.size() + 1, host + ":") == 0)
        cards.append(Dict()
                         .set("_name", root.read(sys + "/" + card + "/name").value_or(card))
                         .set("spcardreader_card_type", root.read(sys + "/" + card + "/type")));
    items.append(Dict()
                     .set("_name", "spcardreader")
                     .setNode("_items", cards.take())
                     .set("spcardreader_vendor-id", hexId(pci->vendor.value_or(0), 4))
                     .set("spcardreader_device-id", hexId(pci->device.value_or(0), 4))
                     .set("spcardreader_revision-id", hexId(pci->revision.value_or(0), 4))
                     .set("spcardreader_subsystem-id", hexId(pci->subDevice.value_or(0), 4))
                     .set("spcardreader_subsystem_vendor-id", hexId(pci->subVendor.value_or(0), 4))
                     .set("spcardreader_link-width", pci->linkWidth));
  }
  return items.take();
}

Node readDiscBurning(const SystemRoot& root) {
  // /proc/sys/dev/cdrom/info: one column per drive after a "drive name:" row.
  std::map<std::string, std::map<std::string, std::string>> abilities;
  std::vector<std::string> driveNames;
  for (const auto& line : root.lines("/proc/sys/dev/cdrom/info")) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = trim(line.substr(0, colon));
    std::istringstream values(line.substr(colon + 1));
    std::vector<std::string> columns;
    for (std::string value; values >> value;) columns.push_back(value);
    if (key == "drive name") driveNames = columns;
    for (size_t i = 0; i < columns.size() && i < driveNames.size(); ++i) abilities[driveNames[i]][key] = columns[i];
  }
  List items;
  for (const auto& name : root.list("/sys/block")) {
    if (name.compare(0, 2, "sr") != 0) continue;
    const std::string sys = "/sys/block/" + name;
    const auto vendor = root.read(sys + "/device/vendor");
    const auto model = root.read(sys + "/device/model");
    std::string display = trim(vendor.value_or("") + " " + model.value_or(""));
    const std::string resolved = root.resolve(sys).value_or(sys);
    const auto& can = abilities[name];
    auto able = [&](const char* key) { return can.count(key) && can.at(key) == "1"; };
    std::vector<std::string> cd, dvd;
    if (able("Can write CD-R")) cd.push_back("-R");
    if (able("Can write CD-RW")) cd.push_back("-RW");
    if (able("Can write DVD-R")) dvd.push_back("-R");
    if (able("Can write DVD-RAM")) dvd.push_back("-RAM");
    auto join = [](const std::vector<std::string>& parts) -> std::optional<std::string> {
      if (parts.empty()) return std::nullopt;
      std::string text;
      for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
      return text;
    };
    Dict drive;
    drive.set("_name", display.empty() ? name : display)
        .set("firmware", root.read(sys + "/device/rev"))
        .set("interconnect", resolved.find("/usb") != std::string::npos   ? "USB"
                             : resolved.find("/ata") != std::string::npos ? "ATAPI"
                                                                          : "SCSI")
        .set("device_cdwrite", join(cd))
        .set("device_dvdwrite", join(dvd))
        .set("device_media", parseNumber(root.read(sys + "/size").value_or("0")).value_or(0) == 0
                                 ? std::optional<std::string>("media_none")
                                 : std::nullopt);
    if (can.count("Can read DVD")) drive.set("device_readdvd", yesNo(able("Can read DVD")));
    items.append(std::move(drive));
  }
  return items.take();
}

}  // namespace profiler
