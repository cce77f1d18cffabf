#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (ASan and UBSan) and runs
# each for the given number of seconds (default 60) on a copy of its seed
# corpus, so that a run never grows the committed corpus. Prints executions,
# coverage and the outcome per target; exits non-zero when any target found
# something, keeping its log and the input under the scratch directory named.
#
#   sudo ./scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
  echo "usage: $0 [seconds per target]" >&2
  exit 2
fi

./scripts/install-deps.sh
cmake --preset fuzz >/dev/null
targets=()
for source in fuzz/*_fuzz.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
cmake --build --preset fuzz -j"$(nproc)" --target "${targets[@]}"

scratch="$(mktemp -d /tmp/brim_fuzz_run.XXXXXX)"
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=0
found=0
summary=()
for target in "${targets[@]}"; do
  name="${target%_fuzz}"
  work="$scratch/$name"
  mkdir -p "$work/corpus"
  if [ -d "fuzz/corpus/$name" ]; then cp -R "fuzz/corpus/$name/." "$work/corpus/"; fi
  echo "== $target: ${seconds}s"
  status=0
  # -timeout: an input that takes longer is a hang, and a finding.
  "./build-fuzz/bin/$target" "$work/corpus" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
    -artifact_prefix="$work/" >"$work/log" 2>&1 || status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log")"
  cov="$(grep -o 'cov: [0-9]*' "$work/log" | tail -1 | cut -d' ' -f2)"
  added="$(sed -n 's/^stat::new_units_added: *//p' "$work/log")"
  if [ "$status" -eq 0 ]; then
    outcome="clean"
  else
    outcome="FOUND SOMETHING (exit $status): $work/log"
    failed=1
    found=$((found + 1))
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*Assertion)' "$work/log" | head -5 || true
  fi
  summary+=("$(printf '%-20s runs %-9s exec/s %-7s cov %-6s new %-5s %s' "$target" "${runs:-?}" "${rate:-?}" \
    "${cov:-?}" "${added:-?}" "$outcome")")
done

echo
printf '%s\n' "${summary[@]}"
echo "fuzz: $((${#targets[@]} - found)) passed, $found failed"
if [ "$failed" -eq 0 ]; then
  rm -rf "$scratch"
else
  echo "logs and inputs kept in $scratch"
fi
exit "$failed"
