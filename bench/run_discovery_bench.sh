#!/usr/bin/env bash
# The whole-process discovery benchmark: `WRENISLAND_DUMP=1 wrenisland` on fake agent homes,
# timed against the I/O floor (io_floor: the same bytes pread, nothing parsed), in one run:
#   1. RECENT transcripts of BYTES each, all modified within the day    (target: ≤ 1.5 × floor)
#   2. the same plus OLD_FACTOR × as many files older than 24 h, next to a plain `find` of the
#      tree, to show what listing the old files costs
#   3. the dump's peak resident memory on the second corpus             (target: < 64 MiB)
#
# usage: bench/run_discovery_bench.sh [CORPUS_DIR]     (default /tmp/wren-discovery-corpus)
# env:   BUILD_DIR (default build/release, configured with the release preset when missing),
#        RECENT (200), OLD_FACTOR (10), BYTES (4194304), EARLY_SHARE (0), RUNS (20),
#        KEEP_CORPUS=1 to time an existing corpus again
# needs: hyperfine, GNU time (/usr/bin/time), python3
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/release}
CORPUS=${1:-/tmp/wren-discovery-corpus}
RECENT=${RECENT:-200}
OLD=$((RECENT * ${OLD_FACTOR:-10}))
BYTES=${BYTES:-4194304}
EARLY_SHARE=${EARLY_SHARE:-0}
RUNS=${RUNS:-20}

for tool in hyperfine /usr/bin/time python3; do
    command -v "$tool" > /dev/null || { echo "needs $tool (apt-get install hyperfine time)" >&2; exit 1; }
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

dump() { echo "env WRENISLAND_DUMP=1 CLAUDE_CONFIG_DIR=$1/claude CODEX_HOME=$1/codex $APP"; }
listing() {
    echo "find $1/claude/projects $1/codex/sessions $1/codex/archived_sessions -name *.jsonl" \
        "-newermt '24 hours ago'"
}

sessions=$($(dump "$CORPUS/recent") | wc -l)
[ "$sessions" -gt 0 ] || { echo "the dump found no session" >&2; exit 1; }
echo "== the dump lists $sessions sessions; the floor reads: $("$IO_FLOOR" "$CORPUS/recent/recent.txt")"
echo "== stages of one dump (WRENISLAND_PROFILE=1):"
WRENISLAND_PROFILE=1 $(dump "$CORPUS/mixed") 2>&1 > /dev/null | sed 's/^/   /'

mkdir -p "$CORPUS/empty"
hyperfine -N --warmup 3 --runs "$RUNS" --export-json "$CORPUS/times.json" \
    -n floor "$IO_FLOOR $CORPUS/recent/recent.txt" \
    -n dump-empty "$(dump "$CORPUS/empty")" \
    -n dump-recent "$(dump "$CORPUS/recent")" \
    -n dump-mixed "$(dump "$CORPUS/mixed")" \
    -n find-recent "$(listing "$CORPUS/recent")" \
    -n find-mixed "$(listing "$CORPUS/mixed")"

peak_kib=0
for _ in 1 2 3; do
    kib=$( { /usr/bin/time -v $(dump "$CORPUS/mixed") > /dev/null; } 2>&1 |
        awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }')
    [ "$kib" -gt "$peak_kib" ] && peak_kib=$kib
done

python3 - "$CORPUS/times.json" "$peak_kib" <<'EOF'
import json, sys
t = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
ms = {name: 1000 * r["median"] for name, r in t.items()}
cpu = {name: 1000 * (r["user"] + r["system"]) for name, r in t.items()}
floor = ms["floor"]
print("\n== summary (medians)")
print(f"   floor                 {floor:8.2f} ms")
print(f"   dump, no transcripts  {ms['dump-empty']:8.2f} ms   (start-up and exit alone)")
print(f"1. dump, recent only     {ms['dump-recent']:8.2f} ms   {ms['dump-recent'] / floor:5.2f} x floor"
      "   (target <= 1.5)")
print(f"2. dump, with old files  {ms['dump-mixed']:8.2f} ms   {ms['dump-mixed'] / floor:5.2f} x floor,"
      f" {ms['dump-mixed'] / ms['dump-recent']:5.2f} x without them")
print(f"   extra for old files   {ms['dump-mixed'] - ms['dump-recent']:8.2f} ms"
      f"   (find: {ms['find-recent']:.2f} ms recent tree, {ms['find-mixed']:.2f} ms with old files,"
      f" {ms['find-mixed'] - ms['find-recent']:.2f} ms extra)")
print(f"   CPU time (user + system, means): floor {cpu['floor']:.2f} ms, dump recent"
      f" {cpu['dump-recent']:.2f} ms ({cpu['dump-recent'] / cpu['floor']:.2f} x),"
      f" dump with old files {cpu['dump-mixed']:.2f} ms")
print(f"3. peak memory, dump     {int(sys.argv[2]) / 1024:8.1f} MiB   (target < 64)")
EOF
