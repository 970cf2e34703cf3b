#!/usr/bin/env bash
# Sets up, builds and runs every test: the release suite, the same suite under AddressSanitizer +
# UndefinedBehaviorSanitizer, the threaded discovery tests under ThreadSanitizer, and a short
# smoke run of every fuzz target (the long runs are done by hand: fuzz/README.md).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc)

for preset in release asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

echo "== tsan"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target wren_discovery_tests
ctest --preset tsan -j "$jobs"

echo "== fuzz smoke"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fixtures=../shared/fixtures/real
python3 fuzz/make_seeds.py "$scratch/seeds" $([ -d "$fixtures" ] && echo "$fixtures")
for seeds in "$scratch"/seeds/*/; do
  target=$(basename "$seeds")
  mkdir -p "$scratch/corpus/$target"
  # A finding stops the run and leaves its input under build/fuzz/ to replay.
  if ! "build/fuzz/fuzz/$target" "$scratch/corpus/$target" "$seeds" -dict=fuzz/transcripts.dict \
    -max_len=65536 -max_total_time=5 -artifact_prefix=build/fuzz/ -print_final_stats=1 \
    > "$scratch/$target.log" 2>&1; then
    tail -n 40 "$scratch/$target.log"
    echo "fuzz smoke: $target found a fault" >&2
    exit 1
  fi
  sed -n "s/^stat::number_of_executed_units: */  $target: executions /p" "$scratch/$target.log"
done
