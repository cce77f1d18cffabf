#!/bin/bash
# Makes the installer package of brim_asset from the macOS install payload, on
# a Mac with the Xcode command-line tools. Run it in the unpacked payload
# (brim-asset-<version>-macos/, which scripts/build-macos.sh packs):
#
#   ./make-pkg.sh [--sign "Developer ID Application: NAME (TEAM)"]
#                 [--sign-installer "Developer ID Installer: NAME (TEAM)"]
#                 [--notarize KEYCHAIN-PROFILE]
#
# --sign         signs the programs with that identity, the hardened runtime and
#                a secure timestamp, as notarization requires; without it they
#                keep the ad-hoc signature the linker gave them (arm64) or none
#                (x86_64), which is enough on a test Mac only
# --sign-installer
#                signs the package (productbuild --sign)
# --notarize     sends the signed package to Apple's notary service with the
#                credentials stored by `xcrun notarytool store-credentials PROFILE`,
#                waits for the verdict and staples the ticket to the package
#
# Writes brim-asset-<version>.pkg beside the payload folder.
set -euo pipefail
cd "$(dirname "$0")"
app_identity="" installer_identity="" notary_profile=""
while [ $# -gt 0 ]; do
  case "$1" in
    --sign) app_identity="$2"; shift 2 ;;
    --sign-installer) installer_identity="$2"; shift 2 ;;
    --notarize) notary_profile="$2"; shift 2 ;;
    *) echo "usage: $0 [--sign IDENTITY] [--sign-installer IDENTITY] [--notarize PROFILE]" >&2; exit 2 ;;
  esac
done
if [ -n "$notary_profile" ] && { [ -z "$app_identity" ] || [ -z "$installer_identity" ]; }; then
  echo "$0: notarization needs both --sign and --sign-installer" >&2
  exit 2
fi

folder="$(basename "$PWD")"
version="${folder#brim-asset-}"
version="${version%-macos}"
identifier="com.brimvault.brim-asset"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The payload as installed: owned by root (pkgbuild's recommended ownership),
# folders and programs 0755, every other file 0644, whatever the umask the
# payload was unpacked with; programs signed.
ditto root "$work/root"
chmod -R u=rwX,go=rX "$work/root"
if [ -n "$app_identity" ]; then
  for program in "$work"/root/opt/local/share/brimvault_mac/bin/*; do
    codesign --force --options runtime --timestamp --sign "$app_identity" \
      --identifier "$identifier.$(basename "$program")" "$program"
    codesign --verify --strict --verbose "$program"
  done
fi

pkgbuild --root "$work/root" --scripts scripts --identifier "$identifier" --version "$version" \
  --install-location / --ownership recommended "$work/brim-asset.pkg"
product=(productbuild --package "$work/brim-asset.pkg")
[ -z "$installer_identity" ] || product+=(--sign "$installer_identity" --timestamp)
pkg="../brim-asset-$version.pkg"
"${product[@]}" "$pkg"

if [ -n "$notary_profile" ]; then
  xcrun notarytool submit "$pkg" --keychain-profile "$notary_profile" --wait
  xcrun stapler staple "$pkg"
  spctl --assess --type install --verbose "$pkg"
fi
echo "$(cd .. && pwd)/brim-asset-$version.pkg"
