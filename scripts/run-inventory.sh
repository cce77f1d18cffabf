#!/usr/bin/env bash
# Sets everything up and takes a real inventory of this machine: installs the
# Debian packages, builds, installs the agent directory with `cmake --install`
# (/opt/local/share/brimvault_mac, with our system_profiler on PATH), runs
# brim_asset with no option and then with "-software" as root, and summarises
# the two data-post files. scripts/uninstall.sh removes the install again.
#
# BRIM_DESTDIR=<dir> installs under <dir> instead and runs brim_asset_sandbox
# there, leaving the machine's /opt and /usr/local untouched. BRIM_BUILD=<dir>
# takes an existing build folder as it is configured instead of build-run.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
  echo "run-inventory: brim_asset works only for root; run it as root" >&2
  exit 1
fi
step() { printf '\n== %s\n' "$*"; }
destdir="${BRIM_DESTDIR:-}"
destdir="${destdir%/}"
build="${BRIM_BUILD:-build-run}"

# The Debian package's units live in /lib/systemd/system; copies in /usr/local
# would take their place, and both installs share the agent's folder.
if [ -z "$destdir" ] && dpkg-query -W -f='${Status}' brim-asset 2>/dev/null | grep -q "install ok installed"; then
  echo "run-inventory: the brim-asset package is installed; a source install beside it would replace its" >&2
  echo "  systemd units. Remove the package first (apt-get remove brim-asset), or set BRIM_DESTDIR=<dir>." >&2
  exit 1
fi

step "Debian packages the build needs (scripts/install-deps.sh)"
./scripts/install-deps.sh

step "building in $build (the first build takes several minutes)"
if [ -z "${BRIM_BUILD:-}" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIM_TESTS=OFF \
    -DBRIM_ALLOW_PLACEHOLDER_PASS_PHRASE=ON >/dev/null
fi
cmake --build "$build" -j"$(nproc)"

install_dir="$destdir/opt/local/share/brimvault_mac"
step "installing into ${destdir:-/}"
DESTDIR="$destdir" cmake --install "$build" >/dev/null
outside=$(grep -vc "^$install_dir/" "$build/install_manifest.txt" || true)
echo "the agent folder $install_dir, and $outside files outside it:"
grep -v "^$install_dir/" "$build/install_manifest.txt" | sed "s|^$destdir||" | xargs -n1 dirname | sort | uniq -c |
  sed 's/^ */  /'
uninstall="scripts/uninstall.sh"
[ "$build" = build-run ] || uninstall="$uninstall $build/install_manifest.txt"
[ -z "$destdir" ] || uninstall="BRIM_DESTDIR=$destdir $uninstall"
echo "They are listed in $build/install_manifest.txt; \`$uninstall\` removes them."
echo "Run it before installing the Debian package: units left in /usr/local/lib/systemd/system"
echo "would run in place of the package's."
if [ -n "$destdir" ]; then
  # A fresh sandbox's settings still name the real directory: point them inside.
  sed -i "s|<string>/opt/local/share/brimvault_mac</string>|<string>$install_dir</string>|" \
    "$install_dir/config/settings.plist"
  export PATH="$destdir/usr/local/bin:$PATH" BRIM_SANDBOX_ROOT="$destdir" BRIM_SANDBOX_NO_DELAY=1
  tool="$(pwd)/$build/bin/brim_asset_sandbox"
  log="$install_dir/log/brim_asset_sandbox.log"
else
  tool="$install_dir/bin/brim_asset"
  log="$install_dir/log/brim_asset.log"
fi

# The tool echoes its log, whole documents included: that goes beside the build, not to /tmp.
run_log="$build/run-inventory.log"
: >"$run_log"
latest() { ls -t "$install_dir/datapost/$1"_* 2>/dev/null | head -n 1; }
for option in "" "-software"; do
  step "running $tool${option:+ $option}"
  (cd "$install_dir" && "$tool" $option) >>"$run_log" 2>&1 || echo "run-inventory: $tool $option exited with $?" >&2
done
echo "its output: $run_log"
echo "its diagnostic log: $log"
asset=$(latest wpmacasstinfo)
software=$(latest wpmacasstswinfo)
if [ -z "$asset" ] || [ -z "$software" ]; then
  echo "run-inventory: a data-post file is missing; see $run_log" >&2
  exit 1
fi

step "the data-post files"
python3 scripts/inventory-summary.py --machine-root / "$asset" "$software" || true
