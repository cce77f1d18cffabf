#pragma once
// The readers of the categories whose profiler report is shaped its own way,
// each named after what it reads and referenced from its category's entry
// (CategoryTables.h). The walker keeps to the shapes every category shares.
#include <plist/plist.h>

#include <vector>

#include "inventory/RecordValue.h"
#include "platform/Signature.h"

namespace brim::readers {

// A Serial-ATA controller's first drive; null when it lists none.
plist_t firstDriveOf(plist_t controller);

// The volumes of a controller's first drive: the disk category describes one
// drive per controller.
std::vector<plist_t> readVolumesOfFirstDrive(plist_t controller, const Sig& sig);

// The devices one level below what sits on a USB bus, with the number found
// under each first-level item logged.
std::vector<plist_t> readUSBDevicesBehindFirstLevel(plist_t bus, const Sig& sig);

// What the power settings write as their power type.
RecordValue readPowerType(plist_t settings);

// What the network locations write as a service's wireless name; absent for a
// service without wireless settings.
RecordValue readWirelessInterfaceName(plist_t service);

}  // namespace brim::readers
