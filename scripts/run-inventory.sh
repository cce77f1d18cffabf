#!/usr/bin/env bash
# Sets everything up and takes a real inventory of this machine: installs the
# Debian packages, builds, installs the agent directory with `cmake --install`
# (/opt/local/share/brimvault_mac, with our system_profiler on PATH), runs
# brim_asset with no option and then with "-software" as root, and prints the
# two data-post files with a summary of their categories.
#
# BRIM_DESTDIR=<dir> installs under <dir> instead and runs brim_asset_sandbox
# there, leaving the machine's /opt and /usr/local untouched.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
  echo "run-inventory: brim_asset works only for root; run it as root" >&2
  exit 1
fi
./scripts/install-deps.sh
build=build-run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIM_TESTS=OFF \
  -DBRIM_ALLOW_PLACEHOLDER_PASS_PHRASE=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

destdir="${BRIM_DESTDIR:-}"
install_dir="$destdir/opt/local/share/brimvault_mac"
DESTDIR="$destdir" cmake --install "$build" >/dev/null
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

run_log=$(mktemp /tmp/brim_run.XXXXXX)
latest() { ls -t "$install_dir/datapost/$1"_* 2>/dev/null | head -n 1; }
for option in "" "-software"; do
  echo "running: $tool $option"
  (cd "$install_dir" && "$tool" $option) >>"$run_log" 2>&1 || echo "run-inventory: $tool $option exited with $?" >&2
done
echo "tool output: $run_log"
echo "diagnostic log: $log"
asset=$(latest wpmacasstinfo)
software=$(latest wpmacasstswinfo)
if [ -z "$asset" ] || [ -z "$software" ]; then
  echo "run-inventory: a data-post file is missing; see $run_log" >&2
  exit 1
fi
echo "data-post files:"
python3 scripts/inventory-summary.py "$asset" "$software"
