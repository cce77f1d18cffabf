#!/usr/bin/env bash
# Checks what scripts/build-macos.sh wrote, as far as this machine can tell
# without a Mac: both programs universal (arm64 + x86_64), for macOS 11, each
# slice of a Release size, importing only the system libraries allowed, the
# arm64 slice signed by the linker; brim_asset reaching the system's
# frameworks and libraries by the names it opens them with, and CommonCrypto
# by import, and nothing of Linux's; every test executable universal; the
# install payload complete, with valid launchd jobs. Prints what it measured;
# exits 1 on the first group that fails.
#
#   scripts/check-macos-build.sh [build-macos]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build-macos}"
objdump=llvm-objdump-14
failures=0
slices="$(mktemp -d)"
trap 'rm -rf "$slices"' EXIT
# slice PROGRAM ARCH: the path of that architecture's part of the program.
slice() {
  [ -f "$slices/$2-$(basename "$1")" ] || llvm-lipo-14 -thin "$2" "$1" -output "$slices/$2-$(basename "$1")"
  echo "$slices/$2-$(basename "$1")"
}
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The libraries a program may import: the C library and iconv; libc++ is linked in.
allowed_dylibs='^/usr/lib/(libSystem\.B|libiconv\.2)\.dylib$'
max_slice_bytes=$((8 * 1024 * 1024))

check_program() {
  local program="$1" path="$out/bin/$1"
  [ -f "$path" ] || { fail "$path missing"; return; }
  local kind
  kind="$(file -b "$path")"
  echo "$program: $kind"
  [[ "$kind" == "Mach-O universal binary with 2 architectures"* && "$kind" == *arm64* && "$kind" == *x86_64* ]] ||
    fail "$program is not universal with arm64 and x86_64"
  local arch
  for arch in arm64 x86_64; do
    local headers dylibs minos size
    headers="$($objdump --macho --arch="$arch" --private-headers "$path")"
    dylibs="$($objdump --macho --arch="$arch" --dylibs-used "$path" | sed -n 's/^[[:space:]]*\(\/[^ ]*\) .*/\1/p')"
    minos="$(awk '/cmd LC_BUILD_VERSION/ {b = 1} b && $1 == "minos" {print $2; exit}' <<<"$headers")"
    size="$(wc -c <"$(slice "$path" "$arch")")"
    echo "  $arch: minos $minos, $size bytes, imports: $(echo $dylibs)"
    [ "$minos" = 11.0 ] || fail "$program ($arch): LC_BUILD_VERSION minos '$minos', not 11.0"
    [ "$size" -le "$max_slice_bytes" ] || fail "$program ($arch): $size bytes, not a Release build"
    [ -n "$dylibs" ] || fail "$program ($arch): no libraries listed"
    local dylib
    for dylib in $dylibs; do
      [[ "$dylib" =~ $allowed_dylibs ]] || fail "$program ($arch) imports $dylib"
    done
    if [ "$arch" = arm64 ]; then
      grep -q 'cmd LC_CODE_SIGNATURE' <<<"$headers" || fail "$program (arm64): not signed by the linker"
    fi
  done
}

check_program brim_asset
check_program brim_inspect

# What brim_asset opens at run time it names as text; CommonCrypto it imports.
asset="$out/bin/brim_asset"
before=$failures
if [ -f "$asset" ]; then
  for arch in arm64 x86_64; do
    text="$(strings -n 4 "$(slice "$asset" "$arch")")"
    for name in SCNetworkReachabilityCreateWithAddress SCNetworkReachabilityGetFlags \
                CFNotificationCenterGetDistributedCenter CFNotificationCenterPostNotificationWithOptions \
                /usr/lib/libsqlite3.dylib /usr/lib/libz.1.dylib /usr/lib/libcurl.4.dylib; do
      grep -qF -e "$name" <<<"$text" || fail "brim_asset ($arch) does not name $name"
    done
    # "/proc/", so that a source folder such as src/procmon/ is no finding.
    grep -q '/proc/' <<<"$text" && fail "brim_asset ($arch) names a /proc path: $(grep -m3 '/proc/' <<<"$text" | tr '\n' ' ')"
    grep -qi 'libcrypto' <<<"$text" && fail "brim_asset ($arch) names libcrypto"
    llvm-nm-14 -u --arch="$arch" "$asset" | grep -qx '_CCCrypt' || fail "brim_asset ($arch) does not import _CCCrypt"
    # The trusted-path rule reads access control lists as well as modes.
    llvm-nm-14 -u --arch="$arch" "$asset" | grep -q '^_acl_get_' || fail "brim_asset ($arch) imports no acl_get_ function"
  done
  [ "$failures" -ne "$before" ] ||
    echo "brim_asset: names SystemConfiguration's and CoreFoundation's functions and the three system libraries," \
         "imports _CCCrypt and acl_get_*; no /proc, no libcrypto"
fi

# brim_inspect's doctor advises in the Mac's own commands: launchd's, and no package manager.
inspect="$out/bin/brim_inspect"
before=$failures
if [ -f "$inspect" ]; then
  for arch in arm64 x86_64; do
    text="$(strings -n 4 "$(slice "$inspect" "$arch")")"
    grep -qF launchctl <<<"$text" || fail "brim_inspect ($arch) does not name launchctl"
    for linux in systemctl apt-get; do
      grep -qF "$linux" <<<"$text" && fail "brim_inspect ($arch) names $linux"
    done
  done
  [ "$failures" -ne "$before" ] || echo "brim_inspect: names launchctl, neither systemctl nor apt-get"
fi

# Every test folder but the Linux stand-ins' has its executable, universal.
expected_tests=0
before=$failures
for dir in tests/*/; do
  module="$(basename "$dir")"
  [ "$module" = tools ] && continue
  compgen -G "$dir*_test.cpp" >/dev/null || continue
  expected_tests=$((expected_tests + 1))
  test="$out/tests/bin/test_$module"
  [[ "$(file -b "$test" 2>/dev/null)" == "Mach-O universal binary with 2 architectures"* ]] ||
    fail "test_$module missing or not universal"
done
[ -f "$out/tests/CTestTestfile.cmake" ] || fail "no CTestTestfile.cmake for the tests"
[ "$failures" -ne "$before" ] || echo "tests: $expected_tests test executables, universal, with CTestTestfile.cmake"

# The install payload.
payload="$(ls "$out"/brim-asset-*-macos.tar.gz 2>/dev/null | head -1)"
if [ -z "$payload" ]; then
  fail "no install payload"
else
  listing="$(tar -tzf "$payload")"
  name="$(basename "$payload" .tar.gz)"
  agent=root/opt/local/share/brimvault_mac
  for entry in $agent/bin/brim_asset $agent/bin/brim_inspect $agent/bin/brim_asset_uninstall $agent/log/build_date \
               $agent/templates/settings.plist $agent/templates/webposts.plist \
               root/private/etc/newsyslog.d/brim-asset.conf scripts/preinstall scripts/postinstall scripts/load-jobs \
               make-pkg.sh; do
    grep -qxF "$name/$entry" <<<"$listing" || fail "payload lacks $entry"
  done
  grep -q 'config/settings.plist$' <<<"$listing" && fail "payload carries a settings file, which would replace the agent's"
  grep -Ei 'lintian|changelog|/debian/' <<<"$listing" && fail "payload carries Debian-only files"
  # Owned by root, written by root alone: folders and programs 0755, the rest 0644.
  modes="$(tar --numeric-owner -tvzf "$payload" | awk '
    $2 != "0/0" { print "owned by " $2 ": " $6; next }
    $1 ~ /^d/ && $1 != "drwxr-xr-x" { print $1 ": " $6 }
    $1 ~ /^-/ && $1 != "-rwxr-xr-x" && $1 != "-rw-r--r--" { print $1 ": " $6 }
    $1 ~ /^-rwx/ && $6 !~ /\/(bin|scripts)\/|make-pkg\.sh$/ { print "executable: " $6 }
    $1 ~ /^-rw-/ && $6 ~ /\/bin\/|\/scripts\// { print "not executable: " $6 }')"
  [ -z "$modes" ] || fail "payload modes or owners: $modes"
  jobs="$(grep -c "^$name/root/Library/LaunchDaemons/com\.brimvault\..*\.plist$" <<<"$listing" || true)"
  [ "$jobs" -eq 6 ] || fail "payload has $jobs launchd jobs, not 6"
  # The jobs as launchd reads them: property lists with a program, a log and a
  # schedule; only the machine's name at load, every job in the background with
  # low-priority I/O, and what it prints root's alone.
  unpacked="$(mktemp -d)"
  tar -xzf "$payload" -C "$unpacked"
  python3 - "$unpacked/$name/root/Library/LaunchDaemons" <<'EOF' || fail "launchd jobs"
import pathlib, plistlib, sys
bad = 0
for path in sorted(pathlib.Path(sys.argv[1]).glob("*.plist")):
    job = plistlib.loads(path.read_bytes())
    when = [k for k in ("StartCalendarInterval", "StartInterval", "RunAtLoad") if k in job]
    problems = [k for k in ("Label", "ProgramArguments", "StandardOutPath", "StandardErrorPath") if k not in job]
    if job.get("Label") + ".plist" != path.name or not job["ProgramArguments"][0].startswith("/opt/local/share/brimvault_mac/bin/"):
        problems.append("label or program")
    if ("RunAtLoad" in job) != path.name.endswith("-macname.plist") or job.get("RunAtLoad", True) is not True:
        problems.append("RunAtLoad only for the machine's name")
    if len(when) != 1:
        problems.append("one schedule")
    if job.get("ProcessType") != "Background" or job.get("LowPriorityIO") is not True:
        problems.append("background with low-priority I/O")
    if job.get("Umask") != 0o077:
        problems.append("Umask 077")
    print(f"  {path.name}: {', '.join(when)}" + (f"; missing {problems}" if problems else ""))
    bad += bool(problems)
sys.exit(1 if bad else 0)
EOF
  for script in scripts/preinstall scripts/postinstall scripts/load-jobs $agent/bin/brim_asset_uninstall; do
    sh -n "$unpacked/$name/$script" || fail "$script does not parse"
    [ -x "$unpacked/$name/$script" ] || fail "$script is not executable"
  done
  rm -rf "$unpacked"
  echo "payload: $(basename "$payload"), $(wc -c <"$payload") bytes, $(wc -l <<<"$listing") entries"
fi

if [ "$failures" -ne 0 ]; then
  echo "macOS build: $failures check(s) failed"
  exit 1
fi
echo "macOS build: all checks passed"
