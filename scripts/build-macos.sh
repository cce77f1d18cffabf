#!/usr/bin/env bash
# Cross-builds brim_asset for macOS 11 and later, Release, for Apple silicon
# and Intel (presets macos-arm64 and macos-x86_64, with Zig), and writes under
# build-macos/:
#   bin/brim_asset, bin/brim_inspect
#       universal executables (arm64 + x86_64)
#   tests/
#       the test executables (universal), the fixtures and documents they read,
#       a CTestTestfile.cmake and acceptance.sh: copied to /Users/Shared/brim-asset-tests
#       on a Mac, `sudo ctest --test-dir /Users/Shared/brim-asset-tests` runs them
#   brim-asset-<version>-macos.tar.gz
#       the install payload: root/ (the files as installed, modes fixed),
#       scripts/ (preinstall, postinstall, load-jobs) and make-pkg.sh, which
#       makes a signed .pkg of them on a Mac
# pugixml, libplist and GoogleTest are built for macOS once and kept in
# build-macos/third-party (scripts/macos-third-party.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

out=build-macos
lipo=llvm-lipo-14
./scripts/macos-third-party.sh "$out/third-party"

for arch in arm64 x86_64; do
  echo "== macOS $arch"
  cmake --preset "macos-$arch" >/dev/null
  cmake --build --preset "macos-$arch" -j"$(nproc)"
done

# One universal executable of both architectures' builds: universal NAME DEST
universal() {
  rm -f "$2"
  "$lipo" -create "$out/arm64/bin/$1" "$out/x86_64/bin/$1" -output "$2"
}

rm -rf "$out/bin" "$out/tests"
mkdir -p "$out/bin" "$out/tests/bin" "$out/tests/tests" "$out/tests/docs"
for program in brim_asset brim_inspect; do universal "$program" "$out/bin/$program"; done

# The tests, laid out as the path they were built for expects them.
for program in brim_asset brim_asset_sandbox brim_inspect libbrim_curl_as_7_64_1.dylib "$out"/arm64/bin/test_*; do
  universal "$(basename "$program")" "$out/tests/bin/$(basename "$program")"
done
cp "$out/arm64/macos-tests/CTestTestfile.cmake" "$out/tests/"
cp scripts/acceptance.sh "$out/tests/"
cp -a tests/fixtures tests/data "$out/tests/tests/"
cp -a docs/. "$out/tests/docs/"

# The install payload: what `cmake --install` lays out, with the universal programs.
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/arm64/CMakeCache.txt")"
name="brim-asset-$version-macos"
stage="$out/payload/$name"
rm -rf "$out/payload"
mkdir -p "$stage"
DESTDIR="$PWD/$stage/root" cmake --install "$out/arm64" --component Unspecified >/dev/null
agent_bin="$stage/root/opt/local/share/brimvault_mac/bin"
for program in brim_asset brim_inspect; do cp "$out/bin/$program" "$agent_bin/$program"; done
cp -R "$out/arm64/packaging/macos/scripts" "$stage/scripts"
cp packaging/macos/make-pkg.sh "$stage/"
# Modes as installed, not as this machine's umask left them: folders and programs
# 0755, every other file 0644 (ditto copies them onto /Library, /usr/local, /opt).
chmod -R u=rwX,go=rX "$stage"
tar --owner=0 --group=0 --numeric-owner -czf "$out/$name.tar.gz" -C "$out/payload" "$name"

echo
echo "macOS build in $out/: bin/brim_asset, bin/brim_inspect, tests/ ($(ls "$out/tests/bin" | grep -c '^test_') test executables), $name.tar.gz"
