#!/usr/bin/env bash
# Sets up, builds and runs every test: the release suite, the same suite under AddressSanitizer +
# UndefinedBehaviorSanitizer, and the threaded discovery tests under ThreadSanitizer.
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
