#!/usr/bin/env bash
# Whole-process cost of an inventory run, side by side with fusioninventory-inventory,
# a peer inventory agent, on the same machine in the same run:
#   - a full run (no option, start delay skipped) against a full fusioninventory inventory;
#   - a "-software" run against fusioninventory limited to its software and USB categories;
#   - a "-ProcCollect" run on its own, the job that runs most often.
# Wall time and peak memory (the largest resident set of any one process of the run,
# as GNU time reports it) are the median of several runs; for the tool also its own
# peak (VmHWM, bench/own_usage_preload.c), without the system_profiler stand-in it runs.
# Installs fusioninventory-agent for the benchmark only. Needs root, as the tool does.
#   sudo bench/whole-run.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
if [ "$(id -u)" -ne 0 ]; then echo "whole-run: needs root" >&2; exit 1; fi
./scripts/install-deps.sh
command -v /usr/bin/time >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time >/dev/null
if ! command -v fusioninventory-inventory >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends fusioninventory-agent >/dev/null
fi
. bench/sandbox.sh

others="cpu,memory,network,storage,drive,controller,video,slot,sound,printer,modem,firewall,user,psu,port"
others="$others,licenseinfo,input,environment,virtualmachine,remote_mgmt,monitor,lvm,local_user,local_group"
others="$others,battery,antivirus,process,bios"

python3 - "$runs" "$install_dir" "$tool" "$others" "$preload" <<'PY'
import os, statistics, subprocess, sys, time

runs, install_dir, tool, others, preload = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]

def measure(command, cwd):
    """Wall seconds, peak resident kilobytes of one run and, for the tool, its
    own VmHWM. GNU time forks from a small process, so the peak is the run's
    own, not an interpreter's copy."""
    report, own = "/tmp/brim_bench_time.txt", "/tmp/brim_bench_vmhwm.txt"
    if command[0] == tool:  # preloaded into the tool only, not into GNU time
        command = ["env", "LD_PRELOAD=" + preload, "BRIM_VMHWM_FILE=" + own] + command
    start = time.monotonic()
    subprocess.run(["/usr/bin/time", "-o", report, "-f", "%M"] + command, cwd=cwd,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.monotonic() - start
    rss = open(report).read().split()[-1]
    os.remove(report)
    hwm = 0
    if os.path.exists(own):
        hwm = int(open(own).read().split()[-1])
        os.remove(own)
    return wall, int(rss), hwm

def median_of(command, cwd):
    samples = [measure(command, cwd) for _ in range(runs)]
    return tuple(statistics.median(s[i] for s in samples) for i in range(3))

cases = [
    ("full inventory", [tool], ["fusioninventory-inventory"]),
    ("software", [tool, "-software"], ["fusioninventory-inventory", "--no-category=" + others]),
]
print("%-16s %12s %12s %10s   %12s %12s %12s %10s" % ("run", "brim wall s", "peer wall s", "ratio",
                                                      "brim peak MB", "brim own MB", "peer peak MB", "ratio"))
peaks = {}
for name, ours, peer in cases:
    ow, om, oh = median_of(ours, install_dir)
    pw, pm, _ = median_of(peer, "/tmp")
    peaks[name] = (oh, pm)
    print("%-16s %12.3f %12.3f %10.2f   %12.1f %12.1f %12.1f %10.2f" % (name, ow, pw, ow / pw, om / 1024, oh / 1024,
                                                                     pm / 1024, om / pm))
print("goal: wall ratio <= 0.33, memory ratio <= 0.20 (median of %d runs each)" % runs)
print("software run's own peak / peer's full inventory peak: %.3f (goal <= 0.10)" %
      (peaks["software"][0] / peaks["full inventory"][1]))
# The five-minute process sample has no peer; it never posts, so libcurl stays unloaded.
sw, sm, sh = median_of([tool, "-ProcCollect"], install_dir)
print("%-16s %12.3f %12s %10s   %12.1f %12.1f" % ("-ProcCollect", sw, "", "", sm / 1024, sh / 1024))
PY
data="$install_dir/datapost"
echo "last documents: $(ls "$data" | tr '\n' ' ')"
