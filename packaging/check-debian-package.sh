#!/usr/bin/env bash
# Builds the Debian package and tries it as a new administrator would, on a
# fresh `debootstrap --variant=minbase bookworm` root: lintian, the manual
# pages, install with its dependencies and recommended packages, every job,
# the settings' modes, the system's log rotation with the package installed
# (and doctor still finding each job's last run after a forced one),
# brim_inspect's answers, doctor once set-webpost has pointed the reports at a
# loopback server, the SMART status posted there, an upgrade to a second
# version that keeps the settings byte for byte and the schedule as enabled, a
# remove that keeps the agent's files and the purge that leaves no unit link.
# A package step that fails prints apt's and dpkg's own output.
#
# Needs root, network access to the Debian mirror, debootstrap and lintian.
# Not part of CI (it downloads a Debian system); run it before a release.
#
# BRIM_BOOKWORM_BASE=<dir>: copy an existing minbase root from <dir> instead of
# running debootstrap (the copy is what gets installed into; <dir> stays clean).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
  echo "check-debian-package: needs root (debootstrap, chroot)" >&2
  exit 1
fi
for tool in debootstrap lintian dpkg-deb scdoc python3; do
  command -v "$tool" >/dev/null || { echo "check-debian-package: $tool missing (apt-get install $tool)" >&2; exit 1; }
done

failures=0
pass() { echo "PASS $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
# apt-get and dpkg say why a step failed only in their own output: kept, and
# shown whole when the step fails ("dpkg returned an error code (1)" alone
# names no maintainer script).
package_step() {
  local what="$1" status=0 out
  shift
  out=$(in_root DEBIAN_FRONTEND=noninteractive "$@" 2>&1) || status=$?
  if [ "$status" -ne 0 ]; then
    fail "$what: exit $status"
    echo "$out" | grep -v '^(Reading database' | sed 's/^/  | /'
  fi
  return "$status"
}

export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-}" CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-}"
build=build-deb
echo "== building the package in $build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRIM_TESTS=OFF -DBRIM_ALLOW_PLACEHOLDER_PASS_PHRASE=ON >/dev/null
nice -n 10 cmake --build "$build" -j2 >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/brim-asset_*.deb | head -n 1)
echo "package: $deb"

echo "== the placeholder pass phrase"
refuse=$(mktemp -d /tmp/brim_refuse.XXXXXX)
cmake -S . -B "$refuse" -DBRIM_TESTS=OFF >/dev/null 2>&1
refused=$(DESTDIR="$refuse/destdir" cmake --install "$refuse" 2>&1 || true)
if echo "$refused" | grep -q "carries the placeholder pass phrase" && [ ! -e "$refuse/destdir" ]; then
  pass "install refuses the placeholder pass phrase without -DBRIM_ALLOW_PLACEHOLDER_PASS_PHRASE=ON"
else
  fail "install accepted the placeholder pass phrase"
fi
rm -rf "$refuse"

echo "== lintian"
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
echo "$lintian_out" | sed 's/^/  /'
errors=$(echo "$lintian_out" | grep -c '^E:' || true)
warnings=$(echo "$lintian_out" | grep -c '^W:' || true)
[ "$errors" -eq 0 ] && pass "lintian: $errors errors, $warnings warnings" || fail "lintian: $errors errors"

echo "== manual pages"
unpacked=$(mktemp -d /tmp/brim_deb.XXXXXX)
dpkg-deb -x "$deb" "$unpacked"
for page in man8/brim_asset.8 man8/brim_inspect.8 man1/system_profiler.1; do
  file="$unpacked/usr/share/man/$page.gz"
  if [ -f "$file" ] && man -l "$file" 2>/dev/null | grep -q "EXIT STATUS"; then
    pass "man -l ${page#*/}.gz renders ($(man -l "$file" 2>/dev/null | wc -l) lines)"
  else
    fail "man -l ${page#*/}.gz"
  fi
done
rm -rf "$unpacked"

echo "== a fresh bookworm root"
root=$(mktemp -d /var/tmp/brim_bookworm.XXXXXX)
# mktemp makes it 0700, which becomes the root's "/": daemons' users could not
# read /etc/passwd, and exim4 (smartmontools recommends a mailer) fails its
# configure step, which every later apt-get retries and fails again.
chmod 755 "$root"
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  for m in dev/pts dev sys proc; do umount "$root/$m" 2>/dev/null || true; done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
if [ -n "${BRIM_BOOKWORM_BASE:-}" ]; then
  cp -a "$BRIM_BOOKWORM_BASE/." "$root/"
else
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
fi
mount -t proc proc "$root/proc"
mount --bind /sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# No daemon of a dependency (cron, smartd) starts inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
# What a systemd unit gives a job, and no more.
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

cp "$deb" "$root/tmp/brim-asset.deb"
package_step "apt-get update" apt-get update -qq
# As the README installs it: apt brings the dependencies and, by default, the recommended packages.
package_step "apt-get install ./brim-asset.deb" apt-get install -y -qq /tmp/brim-asset.deb || true
if in_root dpkg-query -W -f='${Status}' brim-asset 2>/dev/null | grep -q "install ok installed"; then
  pass "apt-get install ./brim-asset.deb: $(in_root dpkg-query -W -f='${Version} ${Depends}' brim-asset)"
else
  fail "the package did not install"
fi
for recommended in smartmontools logrotate; do
  if in_root dpkg-query -W -f='${Status}' "$recommended" 2>/dev/null | grep -q "install ok installed"; then
    pass "recommended $recommended installed"
  else
    fail "recommended $recommended not installed"
  fi
done

for args in --help --version; do
  if out=$(in_root brim_inspect $args 2>/dev/null); then pass "brim_inspect $args exits 0: $(echo "$out" | head -n 2 | tail -n 1)"
  else fail "brim_inspect $args"; fi
done
status=0; out=$(in_root brim_inspect --root /missing doctor 2>&1) || status=$?
[ "$status" -eq 2 ] && [ "$(echo "$out" | wc -l)" -eq 1 ] && pass "--root /missing doctor: exit 2, one line: $out" \
  || fail "--root /missing doctor: exit $status: $out"

echo "== a loopback server, and set-webpost pointing the reports at it"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
posts="$root/tmp/posts"
mkdir -p "$posts"
python3 - "$port" "$posts" <<'EOF' &
import http.server, sys, itertools
port, folder = int(sys.argv[1]), sys.argv[2]
counter = itertools.count()
class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with open(f"{folder}/{next(counter)}{self.path.split('?')[0].replace('/', '_')}", "wb") as f:
            f.write(body)
        self.send_response(200); self.end_headers(); self.wfile.write(b"OK")
    def log_message(self, *args): pass
http.server.HTTPServer(("127.0.0.1", port), Handler).serve_forever()
EOF
server_pid=$!
sleep 1
in_root brim_inspect set-webpost wpmacsmartsts "http://127.0.0.1:$port/agent/smart.php" --encryption on
in_root brim_inspect set-webpost wpmacupdsysdtl "http://127.0.0.1:$port/agent/sysdtl.php"

echo "== every job"
for job in "" -software -ProcCollect -ProcSave -macName -smartstatus; do
  status=0; in_root /opt/local/share/brimvault_mac/bin/brim_asset $job >/dev/null 2>"$root/tmp/job.err" || status=$?
  if [ "$status" -eq 0 ] && [ ! -s "$root/tmp/job.err" ]; then pass "brim_asset ${job:-(inventory)}: exit 0, nothing on standard error"
  else fail "brim_asset ${job:-(inventory)}: exit $status: $(head -c 300 "$root/tmp/job.err")"; fi
done
datapost="$root/opt/local/share/brimvault_mac/datapost"
for prefix in wpmacasstinfo wpmacasstswinfo wpmacpradatahr; do
  file=$(ls -t "$datapost/${prefix}_"* 2>/dev/null | head -n 1)
  if [ -n "$file" ] && in_root brim_inspect check "${file#$root}" >/dev/null; then pass "$prefix file checks OK: $(basename "$file")"
  else fail "$prefix file missing or not OK"; fi
done
smart=$(ls "$posts" | grep _agent_smart.php | head -n 1 || true)
if [ -n "$smart" ] && in_root brim_inspect decode "/tmp/posts/$smart" | grep -q "<wpmacsmartsts>"; then
  pass "-smartstatus posted to the set-webpost site: $(in_root brim_inspect decode "/tmp/posts/$smart" | grep -o '<status>.*</status>')"
else
  fail "-smartstatus posted nothing to the loopback server"
fi

echo "== modes and rotation"
modes=$(cd "$root/opt/local/share/brimvault_mac/config" && stat -c '%a %U %n' settings.plist webposts.plist | tr '\n' ' ')
[ "$modes" = "600 root settings.plist 600 root webposts.plist " ] && pass "settings and web posts laid out: $modes" \
  || fail "settings and web posts laid out: $modes"
in_root DEBIAN_FRONTEND=noninteractive apt-get install -y -qq logrotate >/dev/null 2>&1
echo "entry" >"$root/tmp/brimvault_NOLOG.log"   # the fallback log, which the stanza leaves alone
for args in "-d /etc/logrotate.d/brim-asset" "/etc/logrotate.conf"; do
  status=0; out=$(in_root logrotate $args 2>&1) || status=$?
  [ "$status" -eq 0 ] && pass "logrotate $args: exit 0" || fail "logrotate $args: exit $status: $(echo "$out" | tail -n 3)"
done

echo "== doctor (no systemctl in this root)"
status=0; doctor=$(in_root brim_inspect doctor) || status=$?
echo "$doctor" | sed 's/^/  /'
if [ "$status" -eq 0 ] && ! echo "$doctor" | grep -q '^FAIL'; then pass "doctor: no FAIL"; else fail "doctor: exit $status"; fi
if echo "$doctor" | grep -q '^OK   command smartctl'; then pass "doctor: $(echo "$doctor" | grep 'command smartctl')"
else fail "doctor: $(echo "$doctor" | grep 'command smartctl')"; fi
mv "$root/bin/ps" "$root/tmp/ps"
without_ps=$(in_root brim_inspect doctor || true)
if echo "$without_ps" | grep -q '^FAIL command ps'; then pass "doctor without ps: $(echo "$without_ps" | grep '^FAIL')"
else fail "doctor without ps"; fi
mv "$root/tmp/ps" "$root/bin/ps"

echo "== a forced rotation, twice"
agent="$root/opt/local/share/brimvault_mac"
for round in 1 2; do
  status=0; out=$(in_root logrotate -f /etc/logrotate.d/brim-asset 2>&1) || status=$?
  [ "$status" -eq 0 ] || fail "logrotate -f /etc/logrotate.d/brim-asset: exit $status: $out"
  # A job between the two, so the second rotation compresses the first's file.
  [ "$round" -eq 2 ] || in_root brim_asset -ProcCollect >/dev/null 2>&1
done
echo "  log folder: $(ls "$agent/log" | tr '\n' ' ')"
last_runs=$(in_root brim_inspect doctor 2>&1 | grep -E '^(OK|WARN|FAIL) +(last |log history)' || true)
echo "$last_runs" | sed 's/^/  /'
found=$(echo "$last_runs" | grep -E '^(OK|WARN) +last ' | grep -c ': [0-9]\{4\}-' || true)
[ "$found" -eq 6 ] && pass "doctor after logrotate -f: the last run of each of the 6 jobs found" \
  || fail "doctor after logrotate -f: $found of 6 jobs' last runs found"

echo "== upgrade to a second version, with the schedule enabled"
systemctl --root="$root" enable brim-asset.target brim-asset-smartstatus.timer >/dev/null 2>&1
enabled() { (cd "$root" && find etc/systemd/system -lname '*brim-asset*' | sort | tr '\n' ' '); }
enabled_before=$(enabled)
echo "  enabled: $enabled_before"
kept() { (cd "$agent" && sha256sum config/settings.plist config/webposts.plist && cat "$root/etc/logrotate.d/brim-asset" | sha256sum); }
kept_before=$(kept)
repack=$(mktemp -d /tmp/brim_repack.XXXXXX)
dpkg-deb -R "$deb" "$repack/tree"
sed -i 's/^Version: .*/&.1/' "$repack/tree/DEBIAN/control"
dpkg-deb -b "$repack/tree" "$root/tmp/brim-asset-next.deb" >/dev/null
rm -rf "$repack"
next=$(dpkg-deb -f "$root/tmp/brim-asset-next.deb" Version)
if package_step "apt-get install the next version" apt-get install -y -qq /tmp/brim-asset-next.deb; then
  version=$(in_root dpkg-query -W -f='${Version}' brim-asset)
  [ "$version" = "$next" ] && pass "upgraded to $version" || fail "upgrade: $version installed, not $next"
  [ "$(kept)" = "$kept_before" ] && pass "upgrade keeps settings, web posts and the logrotate file byte for byte" \
    || fail "upgrade changed the settings, web posts or the logrotate file"
  [ "$(enabled)" = "$enabled_before" ] && pass "upgrade keeps the schedule as enabled" \
    || fail "upgrade changed the enabled units: $(enabled)"
  status=0; in_root brim_asset -smartstatus >/dev/null 2>&1 || status=$?
  [ "$status" -eq 0 ] && pass "brim_asset -smartstatus after the upgrade: exit 0" || fail "brim_asset -smartstatus after the upgrade: exit $status"
fi

echo "== remove"
if package_step "apt-get remove brim-asset" apt-get remove -y -qq brim-asset; then
  left=$( (cd "$root" && find etc/systemd -name 'brim-asset*'; find "$agent/bin" -type f 2>/dev/null; ls usr/sbin/brim_* 2>/dev/null) || true)
  [ -z "$left" ] && pass "remove takes the programs and every unit link" || fail "after remove: $(echo $left)"
  if [ -f "$agent/config/settings.plist" ] && [ -f "$agent/config/webposts.plist" ] && [ -f "$root/etc/logrotate.d/brim-asset" ] &&
    [ -n "$(ls "$agent/datapost")" ]; then
    pass "remove keeps the agent's settings, web posts and data-post files, and the logrotate file"
  else
    fail "remove took the agent's own files or the logrotate file"
  fi
fi

echo "== purge"
if package_step "apt-get purge brim-asset" apt-get purge -y -qq brim-asset; then
  # Inside the root, where the other packages' links resolve.
  dangling=$(in_root find /etc/systemd -xtype l)
  left=$( (cd "$root" && find etc/systemd etc/logrotate.d -name 'brim-asset*'; ls "$agent/temp/autodelete_procsdata.sql" 2>/dev/null) || true)
  if [ -z "$dangling$left" ]; then pass "purge leaves no unit link, no logrotate file and no process store"
  else fail "after purge: $(echo $dangling $left)"; fi
  echo "  kept by purge: $(cd "$agent" && find . -type f | sort | tr '\n' ' ')"
fi

echo
if [ "$failures" -eq 0 ]; then echo "check-debian-package: all passed"; else echo "check-debian-package: $failures failed"; fi
[ "$failures" -eq 0 ]
