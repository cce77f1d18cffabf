#!/usr/bin/env bash
# Sets everything up and runs the whole test suite on an AddressSanitizer and
# UndefinedBehaviorSanitizer build (the "asan" preset of CMakePresets.json, in build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$(nproc)"
ctest --preset asan -j"$(nproc)"
