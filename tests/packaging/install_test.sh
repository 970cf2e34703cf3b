#!/usr/bin/env bash
# The installed tree and the Debian package as a user gets them: every file in place, the desktop
# entry and the metainfo valid, the manual in step with --help, the package's fields and contents.
#   usage: install_test.sh BUILD_DIR
set -uo pipefail
build=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
passes=0
check() {
    local what=$1
    shift
    if "$@"; then
        passes=$((passes + 1)); echo "ok   $what"
    else
        failures=$((failures + 1)); echo "FAIL $what"
    fi
}

id=io.github.wrenisland.WrenIsland
stage=$scratch/stage
cmake --install "$build" --prefix "$stage/usr" >/dev/null || { echo "FAIL cmake --install"; exit 1; }
expected=(
    usr/bin/wrenisland
    usr/libexec/wrenisland
    "usr/share/applications/$id.desktop"
    "usr/share/metainfo/$id.metainfo.xml"
    usr/share/man/man1/wrenisland.1
    usr/share/doc/wrenisland/copyright
    "usr/share/icons/hicolor/scalable/apps/$id.svg"
)
for n in 16 22 24 32 48 64 128 256 512; do expected+=("usr/share/icons/hicolor/${n}x${n}/apps/$id.png"); done
for f in "${expected[@]}"; do check "installs $f" test -s "$stage/$f"; done
check "the installed command starts" test "$("$stage/usr/bin/wrenisland" --version)" = "WrenIsland $(awk -F'"' '/CMAKE_PROJECT_VERSION:/ {print}' "$build/CMakeCache.txt" | sed 's/.*=//')"
check "and finds the installed island program" env -u DISPLAY -u WAYLAND_DISPLAY \
    WRENISLAND_RENDER="$scratch/island.png" "$stage/usr/bin/wrenisland"
check "the licence is MIT's, ours" grep -q "Copyright (c) 2026 The WrenIsland authors" \
    "$stage/usr/share/doc/wrenisland/copyright"

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$stage/usr/share/applications/$id.desktop" >"$scratch/desktop.log" 2>&1
    check "the desktop entry validates without a word" test ! -s "$scratch/desktop.log"
fi
if command -v appstreamcli >/dev/null; then
    check "the metainfo validates" appstreamcli validate --no-net --no-color \
        "$stage/usr/share/metainfo/$id.metainfo.xml"
fi

# Every option --help lists is in the manual.
manual=$(sed 's/\\-/-/g' "$stage/usr/share/man/man1/wrenisland.1")
for option in $("$stage/usr/bin/wrenisland" --help | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u); do
    case $option in -platform | -display | -style) continue ;; esac  # the toolkit's own
    check "the manual documents $option" grep -qe "$option" <<<"$manual"
done
for variable in $("$stage/usr/bin/wrenisland" --help | grep -oE '^  [A-Z_]+ ' | tr -d ' '); do
    check "the manual documents $variable" grep -q "$variable" <<<"$manual"
done

# The package.
cmake --build "$build" --target package >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; echo "FAIL package"; exit 1; }
deb=$(ls "$build"/wrenisland_*.deb | head -1)
field() { dpkg-deb -f "$deb" "$1"; }
check "package name" test "$(field Package)" = wrenisland
check "depends on the Qt it links" grep -q 'libqt6widgets6' <<<"$(field Depends)"
check "depends on what it reads transcripts with" grep -q 'libsimdjson' <<<"$(field Depends)"
check "recommends xdg-utils and the CJK font" grep -q 'xdg-utils.*fonts-wqy-microhei' <<<"$(field Recommends)"
check "section and priority" test "$(field Section)/$(field Priority)" = "utils/optional"
check "a maintainer with an address" grep -q '<.*@.*>' <<<"$(field Maintainer)"
check "a homepage and a description" test -n "$(field Homepage)" -a -n "$(field Description)"
contents=$(dpkg-deb -c "$deb")
for f in "${expected[@]}"; do check "packages $f" grep -q " ./$f\$" <<<"$contents"; done
check "nothing but /usr" test -z "$(awk '{print $6}' <<<"$contents" | grep -v '^./usr/' | grep -v '^./$')"

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
