# Sourced by the benchmark scripts: a Release build (build-bench, or an existing
# one named by BRIM_BENCH_BUILD), installed into a sandbox and registered once
# before measuring so every run does the same work, and the preload that
# reports the tool's own peak memory and processor time. Sets build, root,
# install_dir, tool and preload; the sandbox goes when the script exits.
# It is made under $TMPDIR (default /tmp). Where builds make and remove many
# files in /tmp, each file made there can cost far more: ext4 without a journal
# passes over the inodes removed in the last minutes before it hands one out.
# PATH gets the stand-ins, after $1 when given (a folder of replaying tools
# that goes first).
build="${BRIM_BENCH_BUILD:-build-bench}"
if [ -z "${BRIM_BENCH_BUILD:-}" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRIM_TESTS=OFF -DBRIM_ALLOW_PLACEHOLDER_PASS_PHRASE=ON >/dev/null
  cmake --build "$build" -j"$(nproc)" >/dev/null
fi
root=$(mktemp -d "${TMPDIR:-/tmp}/brim_bench.XXXXXX")
trap 'rm -rf "$root"' EXIT
install_dir="$root/opt/local/share/brimvault_mac"
DESTDIR="$root" cmake --install "$build" >/dev/null
sed -i "s|<string>/opt/local/share/brimvault_mac</string>|<string>$install_dir</string>|" "$install_dir/config/settings.plist"
export BRIM_SANDBOX_ROOT="$root" BRIM_SANDBOX_NO_DELAY=1 PATH="${1:+$root/$1:}$root/usr/local/bin:$PATH"
tool="$(cd "$build" && pwd)/bin/brim_asset_sandbox"
(cd "$install_dir" && "$tool" -PerfCollect >/dev/null)
preload="$root/own_usage.so"
cc -O2 -shared -fPIC -o "$preload" bench/own_usage_preload.c
