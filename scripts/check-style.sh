#!/usr/bin/env bash
# The house habits, as CI checks them: every C++ source of src/, tools/ and
# tests/ formatted as .clang-format says, and clang-tidy (.clang-tidy) without
# a finding on src/ (the "tidy" preset, in build-tidy). Exits non-zero on
# either. `clang-format -i` on the files named fixes the first.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

git ls-files -z 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' |
  xargs -0 clang-format --dry-run -Werror
echo "format: every source as .clang-format says"

cmake --preset tidy >/dev/null
cmake --build --preset tidy -j"$(nproc)"
echo "clang-tidy: no finding"
