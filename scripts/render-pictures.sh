#!/usr/bin/env bash
# Redraws the README's pictures from the demo sessions (homes that hold no transcripts), so they
# look the same whatever this machine's agents hold. Build first (./scripts/run.sh or the presets).
set -euo pipefail
cd "$(dirname "$0")/.."
binary=./build/release/src/wrenisland
empty=$(mktemp -d)
trap 'rm -rf "$empty"' EXIT
export CLAUDE_CONFIG_DIR="$empty" CODEX_HOME="$empty" WRENISLAND_FORCE_MISSING=codex
WRENISLAND_RENDER=docs/island-collapsed.png "$binary"
WRENISLAND_RENDER=docs/island-open.png WRENISLAND_FORCE_OPEN=1 WRENISLAND_FORCE_SELECT=1 "$binary"
ls -l docs/island-*.png
