#!/usr/bin/env bash
# What to run first on a new machine (a Mac above all), and what CI runs against the
# Release build: every job of the build in BIN_DIR, in a throwaway sandbox root, against
# this machine's own system_profiler (on Linux the stand-in in BIN_DIR) and ps.
#   sudo scripts/acceptance.sh BIN_DIR
# Each data-post file is checked with brim_inspect check; the two direct reports are
# posted to a receiver on 127.0.0.1 and decoded with brim_inspect decode; then every
# test executable in BIN_DIR runs. One PASS/FAIL line per step, each job's wall time,
# peak memory (the largest process of the job) and the share of it spent waiting for
# system_profiler, and a summary to paste into a report. Exit status 1 on any FAIL,
# 2 when it cannot start. Needs root (the tool does nothing for other users) and python3.
set -euo pipefail
if [ "$#" -ne 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 BIN_DIR (the folder holding brim_asset_sandbox and brim_inspect)" >&2
  exit 2
fi
bin=$(cd "$1" && pwd -P)
for tool in brim_asset_sandbox brim_inspect; do
  if [ ! -x "$bin/$tool" ]; then
    echo "acceptance: $bin/$tool missing: build it first" >&2
    exit 2
  fi
done
if [ "$(id -u)" -ne 0 ]; then
  echo "acceptance: run it as root (sudo): the tool does nothing for other users" >&2
  exit 2
fi
command -v python3 >/dev/null || { echo "acceptance: needs python3" >&2; exit 2; }
# The real path: on a Mac /tmp is a symbolic link, which the tool's trust rules refuse.
root=$(cd "$(mktemp -d "${TMPDIR:-/tmp}/brim_acceptance.XXXXXX")" && pwd -P)
trap 'rm -rf "$root"' EXIT
chmod 0755 "$root"
status=0
python3 - "$bin" "$root" <<'EOF' || status=$?
import glob
import http.server
import os
import platform
import resource
import shutil
import subprocess
import sys
import threading
import time

bin_dir, root = sys.argv[1], sys.argv[2]
agent = root + "/opt/local/share/brimvault_mac"
received_dir = root + "/received"
timings = root + "/profiler-times"
JOB_LIMIT = 3600  # seconds; a full inventory on a slow Mac takes minutes, not an hour
TEST_LIMIT = 900
results = []  # (step, passed, detail)
figures = []  # (job, wall s, peak MB, profiler share)


def step(name, passed, detail=""):
    results.append((name, passed, detail))
    detail = detail if len(detail) <= 200 else detail[:197] + "..."
    print(f"{'PASS' if passed else 'FAIL'} {name}{': ' + detail if detail else ''}", flush=True)


def run(command, limit, **options):
    """Exit status (None at the limit) and output of a command whose output is short."""
    try:
        done = subprocess.run(command, capture_output=True, text=True, errors="replace", timeout=limit, **options)
        return done.returncode, done.stdout + done.stderr
    except subprocess.TimeoutExpired:
        return None, f"still running after {limit} s: stopped"


def last_lines(text, count=5):
    return " | ".join(text.strip().splitlines()[-count:])


# The receiver: every POST body is kept as a file, answered "ACK"; 127.0.0.1 only, a
# bounded body and a timeout, so a misbehaving client cannot hold it.
class Receiver(http.server.BaseHTTPRequestHandler):
    timeout = 30
    count = 0

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length < 0 or length > 64 << 20:
            self.send_error(413)
            return
        body = self.rfile.read(length)
        Receiver.count += 1
        path = f"{received_dir}/{Receiver.count:02d}{self.path.split('?')[0].replace('/', '_')}"
        with open(path, "wb") as out:
            out.write(body)
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", "3")
        self.end_headers()
        self.wfile.write(b"ACK")

    def log_message(self, *args):
        pass


os.makedirs(received_dir)
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Receiver)
server.daemon_threads = True
threading.Thread(target=server.serve_forever, daemon=True).start()
base = f"http://127.0.0.1:{server.server_address[1]}"

# The agent's folders, settings pointing into the sandbox and a registration id, so
# that no job needs brim_register.
for folder in ("config", "bin", "temp", "log", "data", "datapost"):
    os.makedirs(f"{agent}/{folder}", mode=0o755)
folders = "".join(f"<key>{key}dirrelative</key><string>{value}</string>" for key, value in (
    ("config", "config"), ("data", "data"), ("datapost", "datapost"), ("executable", "bin"), ("log", "log"),
    ("temp", "temp")))
with open(f"{agent}/config/settings.plist", "w") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict><key>macfolders</key><dict>'
              f"<key>agentinstallpathabsolute</key><string>{agent}</string>{folders}</dict>"
              "<key>machineinfo</key><dict><key>dcregid</key><integer>4711</integer></dict></dict></plist>\n")
with open(f"{agent}/config/webposts.plist", "w") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict/></plist>\n')
with open(f"{agent}/log/build_date", "w") as out:
    out.write("acceptance\n")
for report in ("wpmacsmartsts", "wpmacupdsysdtl"):
    status, output = run([f"{bin_dir}/brim_inspect", "--root", root, "set-webpost", report, f"{base}/{report}"], 60)
    step(f"web post {report} points at the receiver", status == 0, "" if status == 0 else last_lines(output))

# system_profiler as this machine has it (Linux: the stand-in beside the tool), behind a
# wrapper that notes when each call starts and ends.
search = "/usr/sbin:/usr/bin:/sbin:/bin:" + bin_dir
profiler = shutil.which("system_profiler", path=search)
step("system_profiler found", profiler is not None, profiler or "not on " + search)
shim = root + "/shim"
os.makedirs(shim)
with open(shim + "/system_profiler", "w") as out:
    out.write("#!/usr/bin/perl\nuse Time::HiRes qw(time);\nmy $start = time;\n"
              f"my $status = system('{profiler}', @ARGV);\nmy $end = time;\n"
              f"open(my $f, '>>', '{timings}');\nprintf $f \"%.6f %.6f\\n\", $start, $end;\nclose $f;\n"
              "exit($status == -1 ? 127 : ($status & 127) ? 128 + ($status & 127) : $status >> 8);\n")
os.chmod(shim + "/system_profiler", 0o755)
environment = {"PATH": shim + ":" + search, "BRIM_SANDBOX_ROOT": root, "BRIM_SANDBOX_NO_DELAY": "1",
               "BRIM_SANDBOX_REACHABILITY": "up", "LANG": "C", "HOME": root}


def profiler_seconds(since, until):
    """How long at least one system_profiler ran between since and until."""
    spans = []
    if os.path.exists(timings):
        with open(timings) as f:
            spans = sorted((max(float(a), since), min(float(b), until)) for a, b in (line.split() for line in f))
    total, reach = 0.0, since
    for start, end in spans:
        start = max(start, reach)
        if end > start:
            total += end - start
            reach = end
    return total


def run_job(option):
    """Runs one job; exit status (None at the limit), output, wall seconds, peak MB."""
    log = open(f"{root}/job{option or '-inventory'}.out", "w+")
    start = time.time()
    child = subprocess.Popen([f"{bin_dir}/brim_asset_sandbox"] + ([option] if option else []), cwd=agent,
                             env=environment, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    status, usage, deadline = None, None, start + JOB_LIMIT
    while status is None:
        pid, raw, usage = os.wait4(child.pid, os.WNOHANG)
        if pid:
            status = os.waitstatus_to_exitcode(raw)
        elif time.time() > deadline:
            os.killpg(child.pid, 9)
            os.wait4(child.pid, 0)
            break
        else:
            time.sleep(0.05)
    wall = time.time() - start
    log.seek(0)
    output = log.read()
    log.close()
    # ru_maxrss: kilobytes on Linux, bytes on macOS; the largest of the job's processes.
    peak = (usage.ru_maxrss / (1 << 20 if platform.system() == "Darwin" else 1 << 10)) if usage else 0.0
    share = profiler_seconds(start, start + wall) / wall if wall > 0 else 0.0
    return status, output, wall, peak, share


def new_files(before):
    return sorted(set(os.listdir(f"{agent}/datapost")) - before)


# The scheduled jobs, the process sample before its report; what each leaves for the
# uploader, and the report each posts.
jobs = [("", ["wpmacasstinfo"], None), ("-software", ["wpmacasstswinfo"], None), ("-ProcCollect", [], None),
        ("-ProcSave", ["wpmacpradatahr"], None), ("-smartstatus", [], "wpmacsmartsts"),
        ("-macName", [], "wpmacupdsysdtl")]
for option, prefixes, report in jobs:
    name = option or "(full inventory)"
    before = set(os.listdir(f"{agent}/datapost"))
    posted_before = set(os.listdir(received_dir))
    status, output, wall, peak, share = run_job(option)
    figures.append((name, wall, peak, share))
    step(f"job {name} runs", status == 0,
         f"wall {wall:.1f} s, peak {peak:.1f} MB, waiting for system_profiler {share:.0%}"
         + ("" if status == 0 else f"; exit {status}: {last_lines(output)}"))
    files = new_files(before)
    found = sorted({f.split("_")[0] for f in files})
    step(f"job {name} leaves {', '.join(prefixes) or 'no data-post file'}", found == sorted(prefixes),
         "found " + (", ".join(files) or "none"))
    if files:
        status, output = run([f"{bin_dir}/brim_inspect", "check"] + [f"{agent}/datapost/{f}" for f in files], 300)
        step(f"job {name} documents check", status == 0, last_lines(output, 3))
    if report:
        bodies = sorted(set(os.listdir(received_dir)) - posted_before)
        step(f"job {name} posts {report} to the receiver", len(bodies) == 1, f"{len(bodies)} request(s)")
        for body in bodies:
            status, output = run([f"{bin_dir}/brim_inspect", "decode", f"{received_dir}/{body}"], 60)
            step(f"job {name} post decodes", status == 0 and f"<{report}>" in output, last_lines(output, 2))

tests = sorted(p for p in glob.glob(bin_dir + "/test_*") if os.access(p, os.X_OK))
if not tests:
    print(f"(no test executable in {bin_dir}: a build without tests)")
for test in tests:
    start = time.time()
    status, output = run([test, "--gtest_brief=1"], TEST_LIMIT, cwd=root)
    failed = [line for line in output.splitlines() if line.startswith("[  FAILED  ]")]
    step(f"tests {os.path.basename(test)}", status == 0,
         f"{time.time() - start:.0f} s" + ("" if status == 0 else "; " + (" ".join(failed[:5]) or last_lines(output))))

failures = [name for name, passed, _ in results if not passed]
uname = platform.uname()
print("\n--- acceptance summary (paste into the report) ---")
print(f"machine: {uname.system} {uname.release} {uname.machine}; "
      f"{platform.mac_ver()[0] and 'macOS ' + platform.mac_ver()[0] or platform.platform()}")
print(f"build: {bin_dir}")
print(f"{'job':<20} {'wall s':>8} {'peak MB':>8} {'profiler':>9}")
for name, wall, peak, share in figures:
    print(f"{name:<20} {wall:8.1f} {peak:8.1f} {share:9.0%}")
print(f"steps: {len(results) - len(failures)} PASS, {len(failures)} FAIL" + (": " + "; ".join(failures) if failures else ""))
server.shutdown()
sys.exit(1 if failures else 0)
EOF
exit "$status"
