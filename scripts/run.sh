#!/usr/bin/env bash
# Sets up, builds and runs WrenIsland against this account's agent homes.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target wrenisland
WRENISLAND_DUMP="${WRENISLAND_DUMP-1}" exec ./build/release/src/wrenisland "$@"
