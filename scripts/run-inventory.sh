#!/usr/bin/env bash
# Sets everything up and runs a full asset collection in a prepared sandbox tree.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIM_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"

root=$(mktemp -d /tmp/brim_run.XXXXXX)
install_dir="$root/opt/local/share/brimvault_mac"
mkdir -p "$install_dir"/{config,bin,temp,log,data,datapost} "$root/tmp"
date -u '+%Y-%m-%d %H:%M:%S UTC' > "$install_dir/log/build_date"
cat > "$install_dir/config/settings.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>macfolders</key>
	<dict>
		<key>agentinstallpathabsolute</key><string>$install_dir</string>
		<key>configdirrelative</key><string>config</string>
		<key>datadirrelative</key><string>data</string>
		<key>datapostdirrelative</key><string>datapost</string>
		<key>executabledirrelative</key><string>bin</string>
		<key>logdirrelative</key><string>log</string>
		<key>tempdirrelative</key><string>temp</string>
	</dict>
	<key>machineinfo</key>
	<dict>
		<key>dcregid</key><integer>4711</integer>
	</dict>
</dict>
</plist>
PLIST

BRIM_SANDBOX_ROOT="$root" BRIM_SANDBOX_NO_DELAY=1 ./build/bin/brim_asset_sandbox >/dev/null
echo "log: $install_dir/log/brim_asset_sandbox.log"
cat "$install_dir/log/brim_asset_sandbox.log" 2>/dev/null || true
echo "data-post files:"
ls -l "$install_dir/datapost"
