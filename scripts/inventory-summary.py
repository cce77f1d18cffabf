#!/usr/bin/env python3
"""Summarises inventory data-post files for a person: each document's kind,
registration id and scan time, then each category by a readable title with the
document's own name beside it and its number of records, what the records hold
nested inside them, and where the machine is known (--machine-root), why an
empty category is empty. Ends with the commands that show more.

usage: inventory-summary.py [--machine-root DIR] FILE...
"""
import argparse
import datetime
import os
import sys
import xml.etree.ElementTree as ET

TITLES = {
    "memoryinfo": "Memory modules",
    "hardwareinfo": "Hardware overview",
    "firewall": "Firewall",
    "ethernetcrdinfo": "Ethernet cards",
    "diskinfo": "Disks",
    "sharedvolinfo": "Network volumes",
    "sdcardreader": "SD card reader",
    "selftest": "Power-on self-test",
    "discburning": "Disc burners",
    "power": "Power",
    "hardwareconfig": "UPS",
    "osinfo": "Thunderbolt ports",
    "graphicinfo": "Graphics cards",
    "blthhardwareinfo": "Bluetooth controller",
    "blthservices": "Bluetooth services",
    "blthdevices": "Bluetooth devices",
    "networkinfo": "Network services",
    "locations": "Network locations",
    "systeminfo": "Operating system",
    "applicationinfo": "Applications",
    "usbinfo": "USB buses",
}

# Records that sit inside another category's records, by element name.
NESTED = {"vol": "volumes", "dispconn": "displays", "usbdevices": "USB devices", "services": "services"}

KINDS = {"assetdata": "hardware inventory", "software": "software inventory"}


def entries(machine, path, prefix=""):
    try:
        return [name for name in os.listdir(os.path.join(machine, path)) if name.startswith(prefix)]
    except OSError:
        return []


def network_mounts(machine):
    try:
        with open(os.path.join(machine, "proc/mounts"), encoding="utf-8", errors="replace") as mounts:
            return [line for line in mounts if line.split()[2:3] and line.split()[2].startswith(("nfs", "cifs", "smb"))]
    except OSError:
        return []


def batteries(machine):
    found = []
    for name in entries(machine, "sys/class/power_supply"):
        try:
            with open(os.path.join(machine, "sys/class/power_supply", name, "type"), encoding="utf-8") as kind:
                if kind.read().strip() == "Battery":
                    found.append(name)
        except OSError:
            pass
    return found


# What the Linux system_profiler reads for each category, so an empty one can say why.
def why_empty(name, machine):
    checks = {
        "memoryinfo": (lambda: entries(machine, "sys/firmware/dmi/entries"),
                       "no DMI tables (/sys/firmware/dmi), which list the memory modules; usual in a virtual machine"),
        "osinfo": (lambda: entries(machine, "sys/bus/thunderbolt/devices"), "no Thunderbolt controller"),
        "graphicinfo": (lambda: entries(machine, "sys/class/drm", "card"), "no graphics card in /sys/class/drm"),
        "blthhardwareinfo": (lambda: entries(machine, "sys/class/bluetooth"), "no Bluetooth controller"),
        "blthservices": (lambda: entries(machine, "sys/class/bluetooth"), "no Bluetooth controller"),
        "blthdevices": (lambda: entries(machine, "sys/class/bluetooth"), "no Bluetooth controller"),
        "usbinfo": (lambda: entries(machine, "sys/bus/usb/devices", "usb"), "no USB host controller"),
        "sdcardreader": (lambda: entries(machine, "sys/class/mmc_host"), "no SD card reader"),
        "discburning": (lambda: entries(machine, "sys/block", "sr"), "no optical drive"),
        "sharedvolinfo": (lambda: network_mounts(machine), "no network volume mounted"),
        "selftest": (lambda: False, "Linux keeps no record of a power-on self-test"),
    }
    if name not in checks:
        return None
    present, reason = checks[name]
    return None if present() else reason


def iso_time(text):
    """The document's scan time (local time, month first) as ISO 8601 with the local offset."""
    try:
        moment = datetime.datetime.strptime(text or "", "%m/%d/%Y %H:%M:%S").astimezone()
    except ValueError:
        return text or "(none)"
    offset = moment.strftime("%z")
    return "%s %s:%s" % (moment.strftime("%Y-%m-%d %H:%M:%S"), offset[:3], offset[3:])


def plural(count, word):
    return "%d %s" % (count, word if count != 1 else word.rstrip("s"))


def locations(category):
    """Each location holds the next one inside its record."""
    count, services, level = 0, 0, category
    while level is not None:
        record = level.find("dtl")
        if record is None:
            break
        count += 1
        services += len(record.findall("services"))
        level = record if record.find("fnname") is not None else None
    return count, services


def summarise(path, machine):
    print(path)
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as error:
        print("  unreadable: %s" % error)
        return False
    kind = root.findtext("type")
    print("  %s (%s), registration id %s, scanned %s" % (KINDS.get(kind, kind), root.tag, root.findtext("regid"),
                                                         iso_time(root.findtext("scandttime"))))
    nested_seen = False
    for category in root.findall("fn"):
        name = category.findtext("fnname") or "(unnamed)"
        if name == "locations":
            records, inner = locations(category)
            nested = {"services": inner} if inner else {}
        else:
            found = category.findall("dtl")
            records = len(found)
            nested = {}
            for record in found:
                for child in record:
                    if child.tag in NESTED:
                        nested[child.tag] = nested.get(child.tag, 0) + 1
        line = "  %-21s %-17s %s" % (TITLES.get(name, name), name, plural(records, "records"))
        if nested:
            nested_seen = True
            line += ", holding " + ", ".join(plural(n, NESTED[tag]) for tag, n in nested.items())
        if kind == "assetdata" and name == "power" and machine and not batteries(machine):
            line += " (no battery: the power settings only)"
        elif records == 0 and machine:
            reason = why_empty(name, machine)
            if reason:
                line += " (%s)" % reason
        print(line)
    if nested_seen:
        print("  Volumes, displays, USB devices and location services are listed inside the record they belong")
        print("  to (a disk, a graphics card, a USB bus, a location), not as records of their own.")
    return True


def main():
    parser = argparse.ArgumentParser(description="Summarises inventory data-post files.")
    parser.add_argument("--machine-root", help="the machine the documents describe, to say why a category is empty")
    parser.add_argument("files", nargs="+")
    arguments = parser.parse_args()
    readable = [summarise(path, arguments.machine_root) for path in arguments.files]
    print()
    print("To look further:")
    print("  brim_inspect show FILE...             the inventory as tables (--html OUT for a page, --json)")
    print("  brim_inspect decode --pretty FILE     the document itself, indented")
    print("  brim_inspect doctor                   what is missing in the installation and its schedule")
    return 0 if all(readable) else 1


if __name__ == "__main__":
    sys.exit(main())
