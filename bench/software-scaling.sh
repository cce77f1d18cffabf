#!/usr/bin/env bash
# How a "-software" run grows with the number of installed applications. A
# replaying system_profiler answers SPApplicationsDataType with the recorded
# Mac's list repeated to N items (names and paths made unique); the other data
# types come from the installed stand-in. For each N: the median wall time and
# the tool's own peak resident memory (VmHWM), the profiler report's size,
# the bound the peak is held to (three times the report plus 10 MB), and the
# growth exponent of time and memory from the size before (1 is linear).
# Needs root, as the tool does.
#   sudo bench/software-scaling.sh [runs] [sizes...]
#   BRIM_BENCH_BUILD=<dir> uses an existing Release build instead of build-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-3}"
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 5000 20000 80000)
if [ "$(id -u)" -ne 0 ]; then echo "software-scaling: needs root" >&2; exit 1; fi
. bench/sandbox.sh replay
mkdir -p "$root/replay"
cat >"$root/replay/system_profiler" <<EOF
#!/bin/sh
if [ "\$1" = SPApplicationsDataType ]; then exec cat "$root/replay/applications.xml"; fi
exec "$root/usr/local/bin/system_profiler" "\$@"
EOF
chmod +x "$root/replay/system_profiler"

python3 - "$runs" "$install_dir" "$tool" "$root/replay/applications.xml" \
  tests/data/mac-a/SPApplicationsDataType.xml "$preload" "${sizes[@]}" <<'PY'
import math, os, plistlib, statistics, subprocess, sys, time

runs, install_dir, tool, report, recorded = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
preload = sys.argv[6]
sizes = [int(n) for n in sys.argv[7:]]
with open(recorded, "rb") as f:
    template = plistlib.load(f)
items = template[0]["_items"]

def write_report(n):
    repeated = []
    for i in range(n):
        item = dict(items[i % len(items)])
        item["_name"] = "%s %d" % (item.get("_name", "app"), i)
        if "path" in item:
            item["path"] = "%s.%d" % (item["path"], i)
        repeated.append(item)
    template[0]["_items"] = repeated
    with open(report, "wb") as f:
        plistlib.dump(template, f)
    return os.path.getsize(report)

def measure():
    """Wall seconds and the tool's own peak (VmHWM) in kB: the profiler answering
    with cat is no part of it."""
    out = "/tmp/brim_scaling_vmhwm.txt"
    env = dict(os.environ, LD_PRELOAD=preload, BRIM_VMHWM_FILE=out)
    start = time.monotonic()
    subprocess.run([tool, "-software"], cwd=install_dir, env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.monotonic() - start
    rss = int(open(out).read().split()[-1])
    os.remove(out)
    # Each run leaves its document and logs it whole: gone before the next.
    for folder in ("datapost", "log"):
        path = os.path.join(install_dir, folder)
        for name in os.listdir(path) if os.path.isdir(path) else []:
            if os.path.isfile(os.path.join(path, name)) and not name.endswith(".lock"):
                os.remove(os.path.join(path, name))
    return wall, rss

print("%8s %10s %10s %10s %10s %8s %8s" % ("apps", "report MB", "wall s", "peak MB", "bound MB", "t exp", "mem exp"))
before = None
for n in sizes:
    size = write_report(n)
    samples = [measure() for _ in range(runs)]
    wall = statistics.median(s[0] for s in samples)
    peak = statistics.median(s[1] for s in samples) / 1024
    bound = 3 * size / 2**20 + 10
    texp = mexp = ""
    if before:
        ratio = math.log(n / before[0])
        texp = "%.2f" % (math.log(wall / before[1]) / ratio)
        mexp = "%.2f" % (math.log(peak / before[2]) / ratio)
    print("%8d %10.1f %10.3f %10.1f %10.1f %8s %8s%s" % (n, size / 2**20, wall, peak, bound, texp, mexp,
                                                         "" if peak <= bound else "  over bound"))
    before = (n, wall, peak)
PY
