#!/usr/bin/env bash
# Sets up, builds and starts the island for this account's agent sessions. Without a display it
# lists the sessions instead, as WRENISLAND_DUMP=1 does.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target wrenisland
binary=./build/release/src/wrenisland
if [[ -z "${DISPLAY-}" && -z "${WAYLAND_DISPLAY-}" && -z "${QT_QPA_PLATFORM-}" ]]; then
    echo "run: no display here, and the island needs one (X11, or Wayland with XWayland);" \
        "these are the sessions it would show:" >&2
    WRENISLAND_DUMP=1 exec "$binary"
fi
exec "$binary" "$@"
