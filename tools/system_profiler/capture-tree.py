#!/usr/bin/env python3
"""Records the files the profiler readers use from this machine into a tree.

    capture-tree.py <destination>

Only small attribute files are copied; sysfs symbolic links are recreated with
their relative targets, so the tree reads like the live /sys. Identifying
values (machine id, serial numbers, MAC addresses) are kept as they are: review
the tree before committing it anywhere.
"""
import os
import shutil
import sys

DEST = None
SKIP_FILES = {"uevent", "config", "rom", "resource", "remove", "rescan", "reset", "new_id", "remove_id",
              "bind", "unbind", "descriptors", "vpd", "trigger"}


def out(path):
    return os.path.join(DEST, path.lstrip("/"))


def copy_file(path, limit=1 << 20):
    try:
        with open(path, "rb") as f:
            data = f.read(limit)
    except OSError:
        return
    os.makedirs(os.path.dirname(out(path)), exist_ok=True)
    with open(out(path), "wb") as f:
        f.write(data)


def link(path):
    """Recreates a symbolic link (and those of its parents) inside the tree."""
    parts = path.strip("/").split("/")
    for i in range(1, len(parts) + 1):
        sub = "/" + "/".join(parts[:i])
        if os.path.islink(sub) and not os.path.lexists(out(sub)):
            os.makedirs(os.path.dirname(out(sub)), exist_ok=True)
            os.symlink(os.readlink(sub), out(sub))
    return os.path.realpath(path)


def capture_dir(path, links=("driver", "device", "module")):
    """Small regular files of one sysfs directory, and its driver/device links."""
    real = link(path)
    if not os.path.isdir(real):
        return real
    os.makedirs(out(real), exist_ok=True)
    for name in sorted(os.listdir(real)):
        full = os.path.join(real, name)
        if os.path.islink(full):
            if name in links:
                link(full)
                target = os.path.realpath(full)
                os.makedirs(out(target), exist_ok=True)
                if name == "driver" and os.path.islink(os.path.join(target, "module")):
                    link(os.path.join(target, "module"))
            continue
        if os.path.isfile(full) and name not in SKIP_FILES and os.access(full, os.R_OK):
            copy_file(full, 4096)
    return real


def capture_pci_above(path):
    at = os.path.realpath(path)
    while at != "/" and at:
        if os.path.exists(os.path.join(at, "vendor")) and os.path.exists(os.path.join(at, "class")):
            capture_dir(at)
            return
        at = os.path.dirname(at)


def capture_usb_above(path):
    at = os.path.realpath(path)
    while at != "/" and at:
        if os.path.exists(os.path.join(at, "idVendor")):
            capture_dir(at)
        at = os.path.dirname(at)


def each(directory):
    try:
        return sorted(os.listdir(directory))
    except OSError:
        return []


def main():
    global DEST
    DEST = sys.argv[1]
    for f in ["/proc/cpuinfo", "/proc/meminfo", "/proc/self/mountinfo", "/proc/mounts", "/proc/net/route",
              "/proc/net/fib_trie", "/proc/net/if_inet6", "/proc/sys/kernel/ostype", "/proc/sys/kernel/osrelease",
              "/proc/sys/kernel/hostname", "/proc/uptime", "/proc/cmdline", "/proc/sys/dev/cdrom/info",
              "/proc/device-tree/model", "/proc/net/ip_tables_names", "/etc/os-release", "/etc/resolv.conf",
              "/etc/machine-id", "/var/lib/dbus/machine-id", "/etc/ufw/ufw.conf", "/etc/systemd/logind.conf",
              "/sys/hypervisor/type", "/sys/module/bluetooth/version"]:
        copy_file(os.path.realpath(f) if f.startswith("/proc/self") else f)
    if os.path.exists(out("/proc/" + str(os.getpid()) + "/mountinfo")):
        os.makedirs(out("/proc/self"), exist_ok=True)
        shutil.move(out("/proc/" + str(os.getpid()) + "/mountinfo"), out("/proc/self/mountinfo"))
        shutil.rmtree(out("/proc/" + str(os.getpid())), ignore_errors=True)
    with open("/etc/passwd") as f:
        root_line = [l for l in f if l.startswith("root:")]
    os.makedirs(out("/etc"), exist_ok=True)
    with open(out("/etc/passwd"), "w") as f:
        f.writelines(root_line)
    for index in each("/sys/devices/system/cpu/cpu0/cache"):
        for name in ("level", "type", "size"):
            copy_file("/sys/devices/system/cpu/cpu0/cache/%s/%s" % (index, name))
    copy_file("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq")
    for name in each("/sys/class/dmi/id"):
        if os.path.isfile("/sys/class/dmi/id/" + name):
            copy_file("/sys/class/dmi/id/" + name)
    for name in each("/sys/firmware/dmi/entries"):
        if name.startswith(("16-", "17-")):
            copy_file("/sys/firmware/dmi/entries/%s/raw" % name)
    for name in each("/sys/block"):
        if name.startswith(("loop", "ram", "zram")):
            continue
        real = capture_dir("/sys/block/" + name)
        capture_dir(os.path.join(real, "queue"), links=())
        if os.path.exists(os.path.join(real, "device")):
            capture_dir(os.path.join(real, "device"))
            capture_pci_above(os.path.join(real, "device"))
            capture_usb_above(os.path.join(real, "device"))
        for child in each(real):
            if os.path.exists(os.path.join(real, child, "partition")):
                capture_dir(os.path.join(real, child), links=())
    for cls in ["net", "power_supply", "drm", "bluetooth", "mmc_host", "scsi_host", "ata_link"]:
        for name in each("/sys/class/" + cls):
            real = capture_dir("/sys/class/%s/%s" % (cls, name))
            for sub in ("wireless", "phy80211", "power"):
                if os.path.isdir(os.path.join(real, sub)):
                    capture_dir(os.path.join(real, sub), links=())
            if os.path.exists(os.path.join(real, "device")):
                capture_dir(os.path.join(real, "device"))
                capture_pci_above(os.path.join(real, "device"))
                capture_usb_above(os.path.join(real, "device"))
    for name in each("/sys/bus/usb/devices"):
        capture_dir("/sys/bus/usb/devices/" + name)
        capture_pci_above("/sys/bus/usb/devices/" + name)
    for name in each("/sys/bus/thunderbolt/devices"):
        capture_dir("/sys/bus/thunderbolt/devices/" + name)
    for name in each("/run/udev/data"):
        if name.startswith("b"):
            copy_file("/run/udev/data/" + name)
    for name in each("/run/systemd/netif/leases"):
        copy_file("/run/systemd/netif/leases/" + name)


if __name__ == "__main__":
    main()
