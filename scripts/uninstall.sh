#!/usr/bin/env bash
# Removes what `cmake --install` (and so scripts/run-inventory.sh) installed,
# as its install manifest lists it: the programs, the links in sbin, the
# systemd units (stopped and disabled first), the logrotate file, the manual
# pages, the templates and documentation, and the folders the install made
# that are empty now. The agent folder's own files stay (its settings hold
# the machine's registration id, datapost/ documents not yet uploaded, log/
# the history); --all removes the agent folder too.
#
# usage: scripts/uninstall.sh [--all] [MANIFEST]
#   MANIFEST  the build's install_manifest.txt (default: build-run's, the one
#             run-inventory.sh installs from)
# BRIM_DESTDIR=<dir>: the install went under <dir>; systemd is left alone.
# Only the default prefix /usr/local is known; the Debian package's files in
# /usr are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
all=false
manifest=build-run/install_manifest.txt
for argument in "$@"; do
  case "$argument" in
    --all) all=true ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "uninstall: unknown option $argument (see --help)" >&2; exit 2 ;;
    *) manifest="$argument" ;;
  esac
done
if [ ! -r "$manifest" ]; then
  echo "uninstall: no install manifest at $manifest: give the build folder's install_manifest.txt" >&2
  exit 2
fi
destdir="${BRIM_DESTDIR:-}"
destdir="${destdir%/}"
agent="$destdir/opt/local/share/brimvault_mac"
if [ -z "$destdir" ] && [ "$(id -u)" -ne 0 ]; then
  echo "uninstall: the install went into / as root; run this as root too" >&2
  exit 1
fi

# The manifest is a file of the build folder, which its owner can write, and
# this runs as root: only the names this project installs, by a plain path
# whose folders are no links to elsewhere.
ours() {
  case "$1" in
    /opt/local/share/brimvault_mac/*|/etc/logrotate.d/brim-asset) return 0 ;;
    /usr/local/lib/systemd/system/brim-asset*|/usr/local/sbin/brim_asset|/usr/local/sbin/brim_inspect) return 0 ;;
    /usr/local/bin/system_profiler|/usr/local/share/man/man1/system_profiler.1.gz) return 0 ;;
    /usr/local/share/man/man8/brim_asset.8.gz|/usr/local/share/man/man8/brim_inspect.8.gz) return 0 ;;
    /usr/local/share/brim_asset/*|/usr/local/share/doc/brim-asset/*|/usr/local/share/lintian/overrides/brim-asset) return 0 ;;
  esac
  return 1
}
real_destdir=""
if [ -n "$destdir" ]; then real_destdir=$(cd "$destdir" 2>/dev/null && pwd -P || echo "$destdir"); fi
files=()
while IFS= read -r listed || [ -n "$listed" ]; do
  [ -z "$listed" ] && continue
  case "$listed" in
    /*) ;;
    *) echo "uninstall: skipping $listed: not an absolute path" >&2; continue ;;
  esac
  case "$listed/" in
    */../*|*/./*|*//*) echo "uninstall: skipping $listed: not a plain path" >&2; continue ;;
  esac
  if ! ours "$listed"; then echo "uninstall: skipping $listed: not a file this project installs" >&2; continue; fi
  # The manifest names the paths as installed, without the destination.
  path="$destdir$listed"
  parent=$(dirname "$path")
  if [ -d "$parent" ] && [ "$(cd "$parent" && pwd -P)" != "$real_destdir${parent#"$destdir"}" ]; then
    echo "uninstall: skipping $listed: its folder is reached through a link" >&2
    continue
  fi
  files+=("$path")
done <"$manifest"

units=()
for path in "${files[@]}"; do
  case "$path" in */systemd/system/brim-asset*) units+=("$(basename "$path")") ;; esac
done
if [ -z "$destdir" ] && [ "${#units[@]}" -gt 0 ] && command -v systemctl >/dev/null 2>&1; then
  echo "uninstall: stopping and disabling ${#units[@]} systemd units"
  if [ -d /run/systemd/system ]; then systemctl stop "${units[@]}" >/dev/null 2>&1 || true; fi
  systemctl --no-reload disable "${units[@]}" >/dev/null 2>&1 || true
fi
# Enable links left behind (units enabled by hand, or systemctl missing).
for link in "$destdir"/etc/systemd/system/brim-asset*.* "$destdir"/etc/systemd/system/*.wants/brim-asset*.*; do
  if [ -L "$link" ]; then rm -f "$link" && echo "removed link $link"; fi
done
rmdir "$destdir/etc/systemd/system/brim-asset.target.wants" 2>/dev/null || true

# Folders every system has, or that others' files share: never removed even when empty.
protected() {
  local dir="${1#"$destdir"}"
  case "$dir" in
    ""|/|/etc|/etc/*|/opt|/usr|/usr/local/share/man) return 0 ;;
    /usr/local/*/*) ;;
    /usr/*) return 0 ;;                 # /usr/local and its first level (bin, sbin, lib, share...)
  esac
  [ "$1" = "$agent" ] && ! $all
}

removed=0
parents=()
for path in "${files[@]}"; do
  case "$path" in
    "$agent"/bin/*) ;;                  # the programs go; the agent's own files stay
    "$agent"/*) $all || continue ;;
  esac
  if [ -L "$path" ] || [ -f "$path" ]; then
    rm -f "$path"
    removed=$((removed + 1))
    parents+=("$(dirname "$path")")
  elif [ -e "$path" ]; then
    echo "uninstall: skipping $path: not a file" >&2
  fi
done
echo "uninstall: removed $removed of the ${#files[@]} installed files"
if [ -z "$destdir" ] && [ "${#units[@]}" -gt 0 ] && [ -d /run/systemd/system ] && command -v systemctl >/dev/null 2>&1; then
  systemctl daemon-reload >/dev/null 2>&1 || true
fi

if $all && [ -d "$agent" ]; then
  rm -rf --one-file-system "$agent"
  echo "uninstall: removed the agent folder $agent"
  parents+=("$(dirname "$agent")")
fi
# Folders the install made, once empty, from the deepest up.
printf '%s\n' "${parents[@]}" | sort -u -r | while IFS= read -r dir; do
  while [ -n "$dir" ] && ! protected "$dir" && [ -d "$dir" ] && rmdir "$dir" 2>/dev/null; do
    echo "removed folder $dir"
    dir=$(dirname "$dir")
  done
done

if ! $all && [ -d "$agent" ]; then
  documents=$( (find "$agent/datapost" -maxdepth 1 -type f 2>/dev/null || true) | wc -l)
  [ "$documents" -eq 1 ] && documents="1 document" || documents="$documents documents"
  echo "uninstall: kept the agent folder $agent: config/ (the machine's registration id and web posts),"
  echo "  datapost/ ($documents not uploaded), log/, data/, temp/; scripts/uninstall.sh --all removes it"
fi
