#!/usr/bin/env bash
# The house habits, as CI checks them: every C++ source of src/, tools/ and
# tests/ formatted as .clang-format says, and clang-tidy (.clang-tidy) without
# a finding on src/ (the "tidy" preset, in build-tidy). Exits non-zero on
# either, or on a commit subject that is not "area: change" in 72 characters
# or fewer. `clang-format -i` on the files named fixes the first.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

git ls-files -z 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' |
  xargs -0 clang-format --dry-run -Werror
echo "format: every source as .clang-format says"

cmake --preset tidy >/dev/null
cmake --build --preset tidy -j"$(nproc)"
echo "clang-tidy: no finding"

# Commit subjects: "area: change" in 72 characters or fewer, for every commit
# since the habit was agreed (merges say what they merge and are left alone).
habit_since=21b3e8ccd0d5ab4c53810e7c6bf8f39202655c7e
if git cat-file -e "$habit_since^{commit}" 2>/dev/null; then
  bad=$(git log --no-merges --format='%h %s' "$habit_since..HEAD" |
    awk '{ s = substr($0, index($0, " ") + 1); c = index(s, ": ") }
         length(s) > 72 || c < 2 || c > 41 || substr(s, 1, 1) == " " { print }')
  if [ -n "$bad" ]; then
    echo 'commit subjects that are not "area: change" in 72 characters or fewer:'
    echo "$bad"
    exit 1
  fi
  echo "commits: every subject since ${habit_since:0:7} is \"area: change\" in 72 characters or fewer"
else
  echo "commits: ${habit_since:0:7} is not in this clone's history; subjects not checked"
fi
