#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz and runs each for a given time.
#
# Usage: bench/run_fuzz.sh [SECONDS] [TARGET...]
#   SECONDS  time per target (default 60); the targets run one after another.
#   TARGET   only these (default: every tests/fuzz/fuzz_*.cpp).
#
# Each target starts from a fresh copy of its seeds (tests/fuzz/corpus/TARGET,
# copied to build-fuzz/corpus/TARGET) under AddressSanitizer and
# UndefinedBehaviorSanitizer. Inputs that crash, leak, hang or run out of
# memory are saved as build-fuzz/crashes/TARGET-*; a target's whole output is
# in build-fuzz/logs/TARGET.log. Exits 1 when any target found something.
# Replay a saved input with: build-fuzz/tests/fuzz/TARGET FILE
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
  echo "usage: bench/run_fuzz.sh [SECONDS] [TARGET...]" >&2
  exit 2
fi
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLFORT_FUZZ=ON -DQUILLFORT_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

mkdir -p "$build/crashes" "$build/logs"
# Leaks count as findings; a report stops the target at once.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

found_any=0
summary=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  log="$build/logs/$target.log"
  rm -rf "$corpus"
  mkdir -p "$corpus"
  cp tests/fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  marker="$build/logs/$target.start"
  touch "$marker"

  echo "== $target: ${seconds}s"
  status=0
  "$build/tests/fuzz/$target" "$corpus" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/crashes/$target-" \
    >"$log" 2>&1 || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ -z "$runs" ]; then
    runs=$(grep -oE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#' || true)
  fi
  saved=$(find "$build/crashes" -name "$target-*" -newer "$marker" | tr '\n' ' ')
  if [ "$status" -ne 0 ] || [ -n "$saved" ]; then
    found_any=1
    result="FOUND (exit $status): ${saved:-no input saved, see $log}"
    grep -E 'property failed|ERROR: |runtime error|SUMMARY' "$log" | head -n 5 || true
  else
    result="nothing found"
  fi
  summary+=("$(printf '%-18s %12s executions  %s' "$target" "${runs:-?}" "$result")")
done

echo
echo "== fuzzing, ${seconds}s per target"
printf '%s\n' "${summary[@]}"
exit $found_any
