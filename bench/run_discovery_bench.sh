#!/usr/bin/env bash
# The whole-process discovery benchmark: `wrenisland --dump` on fake agent homes, against the I/O
# floor (io_floor: the same bytes pread, nothing parsed). bench/measure.py runs every command in
# turn and reports medians of wall time, CPU time and minor page faults; GNU time the peak memory:
#   1. RECENT transcripts of BYTES each, all modified within the day
#      (targets: wall <= 1.5 x floor, CPU <= 2 x floor, minor faults <= 3 x floor)
#   2. the same plus OLD_FACTOR x as many files older than 24 h, next to a plain `find` of the
#      tree, to show what listing the old files costs
#   3. the dump's peak resident memory on the second corpus (target: < 24 MiB)
# With BASE_APP set to another build of wrenisland (of an older commit, say), its dump runs in
# the same loop ("before-…"), so before and after are measured under the same conditions; so
# does NOGUI_APP, a build without the Qt layer ("noqt-…"), to show what loading Qt costs.
#
# usage: bench/run_discovery_bench.sh [CORPUS_DIR]     (default /tmp/wren-discovery-corpus)
# env:   BUILD_DIR (default build/release, configured with the release preset when missing),
#        BASE_APP, NOGUI_APP, RECENT (200), OLD_FACTOR (10), BYTES (4194304), EARLY_SHARE (0), RUNS (20),
#        KEEP_CORPUS=1 to time an existing corpus again
# needs: python3, GNU time (/usr/bin/time)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/release}
CORPUS=${1:-/tmp/wren-discovery-corpus}
RECENT=${RECENT:-200}
OLD=$((RECENT * ${OLD_FACTOR:-10}))
BYTES=${BYTES:-4194304}
EARLY_SHARE=${EARLY_SHARE:-0}
RUNS=${RUNS:-20}

for tool in python3 /usr/bin/time; do
    command -v "$tool" > /dev/null || { echo "needs $tool (apt-get install python3 time)" >&2; exit 1; }
done

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    if [ "$BUILD_DIR" = "$ROOT/build/release" ]; then
        (cd "$ROOT" && cmake --preset release > /dev/null)
    else
        cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DWREN_BUILD_BENCH=ON > /dev/null
    fi
fi
cmake --build "$BUILD_DIR" --target wrenisland make_homes io_floor -j2 > /dev/null
APP=$BUILD_DIR/src/wrenisland
MAKE_HOMES=$BUILD_DIR/bench/make_homes
IO_FLOOR=$BUILD_DIR/bench/io_floor

if [ "${KEEP_CORPUS:-0}" = 1 ] && [ -f "$CORPUS/recent/recent.txt" ]; then
    echo "== reusing the corpus in $CORPUS (its recent files must still be under 20 h old)"
else
    echo "== corpus in $CORPUS: $RECENT recent files of $BYTES bytes, then $OLD old ones"
    rm -rf "$CORPUS"
    mkdir -p "$CORPUS"
    NOW=$(date +%s)
    "$MAKE_HOMES" "$CORPUS/recent" --recent "$RECENT" --old 0 --bytes "$BYTES" \
        --early-share "$EARLY_SHARE" --now "$NOW"
    # The second corpus shares the recent files (hard links) and adds the old ones.
    cp -al "$CORPUS/recent" "$CORPUS/mixed"
    rm "$CORPUS/mixed/recent.txt"
    "$MAKE_HOMES" "$CORPUS/mixed" --recent 0 --old "$OLD" --seed 2 --now "$NOW"
fi
du -sh "$CORPUS/recent" "$CORPUS/mixed" | sed 's/^/   /'

# Warm the page cache and the directory caches, so every run measures the same thing.
find "$CORPUS" -type f -name '*.jsonl' -exec cat {} + > /dev/null

# The older build may know only the variable, not the option, so both use the variable.
dump() { echo "WRENISLAND_DUMP=1 CLAUDE_CONFIG_DIR=$1/claude CODEX_HOME=$1/codex $2"; }
listing() {
    echo "find $1/claude/projects $1/codex/sessions $1/codex/archived_sessions -name *.jsonl" \
        "-newermt 24%20hours%20ago"
}

sessions=$(env $(dump "$CORPUS/recent" "$APP") | wc -l)
[ "$sessions" -gt 0 ] || { echo "the dump found no session" >&2; exit 1; }
echo "== the dump lists $sessions sessions; the floor reads: $("$IO_FLOOR" "$CORPUS/recent/recent.txt")"
echo "== stages of one dump (WRENISLAND_PROFILE=1):"
env WRENISLAND_PROFILE=1 $(dump "$CORPUS/mixed" "$APP") 2>&1 > /dev/null | sed 's/^/   /'
mkdir -p "$CORPUS/empty"

commands=(
    floor "$IO_FLOOR $CORPUS/recent/recent.txt"
    dump-empty "$(dump "$CORPUS/empty" "$APP")"
    dump-recent "$(dump "$CORPUS/recent" "$APP")"
    dump-mixed "$(dump "$CORPUS/mixed" "$APP")"
    find-recent "$(listing "$CORPUS/recent")"
    find-mixed "$(listing "$CORPUS/mixed")"
)
if [ -n "${BASE_APP:-}" ]; then
    commands+=(before-recent "$(dump "$CORPUS/recent" "$BASE_APP")"
               before-mixed "$(dump "$CORPUS/mixed" "$BASE_APP")")
fi
if [ -n "${NOGUI_APP:-}" ]; then
    commands+=(noqt-recent "$(dump "$CORPUS/recent" "$NOGUI_APP")"
               noqt-mixed "$(dump "$CORPUS/mixed" "$NOGUI_APP")")
fi
python3 "$ROOT/bench/measure.py" "$RUNS" "${commands[@]}"

peak() {  # the largest maximum resident set of three runs, in MiB
    local most=0 kib
    for _ in 1 2 3; do
        /usr/bin/time -o "$CORPUS/peak.txt" -f %M env "$@" > /dev/null 2>&1
        kib=$(tail -n 1 "$CORPUS/peak.txt")
        [ "$kib" -gt "$most" ] && most=$kib
    done
    awk -v k="$most" 'BEGIN { printf "%.1f", k / 1024 }'
}
echo
echo "3. peak memory, dump with old files: $(peak $(dump "$CORPUS/mixed" "$APP")) MiB (target < 24)"
[ -n "${BASE_APP:-}" ] &&
    echo "   before:                           $(peak $(dump "$CORPUS/mixed" "$BASE_APP")) MiB"
echo "   the floor:                         $(peak "$IO_FLOOR" "$CORPUS/recent/recent.txt") MiB"
