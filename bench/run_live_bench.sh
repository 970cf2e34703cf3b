#!/usr/bin/env bash
# What following the transcripts costs, for the island (under Xvfb) and for `wrenisland --watch`:
#   1. idle: context switches (wake-ups) over IDLE_SECONDS with no agent writing and the pointer
#      away; the only expected ones are the relative-time repaints (one per shown minute change)
#   2. one fake agent appending LINES_PER_SECOND lines a second to one transcript of BYTES bytes
#      among RECENT for AGENT_SECONDS: CPU share of one core, snapshots read (counted from the
#      WRENISLAND_PROFILE=1 reports on standard error) and, for --watch, lines printed
#
# usage: bench/run_live_bench.sh [CORPUS_DIR]   (default /tmp/wren-live-corpus)
# env:   BUILD_DIR (build/release), RECENT (200), BYTES (4194304), IDLE_SECONDS (60),
#        AGENT_SECONDS (30), LINES_PER_SECOND (10), DISPLAY_NUMBER (first free from 150)
# needs: Xvfb, xte, xdotool
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/release}
CORPUS=${1:-/tmp/wren-live-corpus}
RECENT=${RECENT:-200}
BYTES=${BYTES:-4194304}
IDLE_SECONDS=${IDLE_SECONDS:-60}
AGENT_SECONDS=${AGENT_SECONDS:-30}
LINES_PER_SECOND=${LINES_PER_SECOND:-10}

for tool in Xvfb xte xdotool; do
    command -v "$tool" > /dev/null || { echo "needs $tool" >&2; exit 1; }
done
APP=$BUILD_DIR/src/wrenisland
[ -x "$APP" ] && [ -x "$BUILD_DIR/bench/make_homes" ] || {
    echo "build first: cmake --build --preset release" >&2; exit 1; }

if [ ! -f "$CORPUS/recent.txt" ]; then
    echo "== corpus in $CORPUS: $RECENT transcripts of $BYTES bytes"
    rm -rf "$CORPUS" && mkdir -p "$CORPUS"
    "$BUILD_DIR/bench/make_homes" "$CORPUS" --recent "$RECENT" --old 0 --bytes "$BYTES" \
        --now "$(date +%s)"
fi
find "$CORPUS" -type f -name '*.jsonl' -exec cat {} + > /dev/null  # warm the page cache
export CLAUDE_CONFIG_DIR=$CORPUS/claude CODEX_HOME=$CORPUS/codex
unset WAYLAND_DISPLAY QT_QPA_PLATFORM WRENISLAND_FORCE_OPEN WRENISLAND_DUMP
# The agent writes to the newest Claude transcript (the one the island shows first).
target=$(find "$CORPUS/claude/projects" -name '*.jsonl' -printf '%T@ %p\n' | sort -n | tail -1 |
    cut -d' ' -f2-)

pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2> /dev/null || true; done; wait 2> /dev/null || true' EXIT
if [ -n "${DISPLAY_NUMBER:-}" ]; then
    export DISPLAY=:$DISPLAY_NUMBER
else
    for n in $(seq 150 199); do
        [ ! -e "/tmp/.X$n-lock" ] && { export DISPLAY=:$n; break; }
    done
fi
Xvfb "$DISPLAY" -screen 0 1920x1080x24 -nolisten tcp -noreset > /dev/null 2>&1 & pids+=($!)
for _ in $(seq 100); do xdotool getmouselocation > /dev/null 2>&1 && break; sleep 0.1; done
xte 'mousemove 960 900'
hz=$(getconf CLK_TCK)

# Context switches of every thread of $1 ("tid count" lines); a thread that ended in between
# counts as one wake-up, a new one with all of its switches.
switches() {
    for t in /proc/"$1"/task/*; do
        echo "${t##*/} $(awk '/ctxt_switches/ {s += $2} END {print s}' "$t/status" 2> /dev/null)"
    done
}
switched() {
    awk 'NR == FNR {before[$1] = $2; next} {after[$1] = $2}
         END {for (t in after) s += after[t] - before[t]; for (t in before) if (!(t in after)) s++
              print s + 0}' <(echo "$1") <(echo "$2")
}
ticks() { awk '{print $14 + $15}' /proc/"$1"/stat; }

# Appends LINES_PER_SECOND lines a second to the target for AGENT_SECONDS, as an agent would.
fake_agent() {
    local end=$((SECONDS + AGENT_SECONDS)) n=0 pause
    pause=$(awk "BEGIN {print 1 / $LINES_PER_SECOND}")
    while [ $SECONDS -lt $end ]; do
        n=$((n + 1))
        printf '{"type":"assistant","timestamp":"%s","message":{"role":"assistant","content":[{"type":"text","text":"line %d"}]}}\n' \
            "$(date -u +%Y-%m-%dT%H:%M:%S.000Z)" "$n" >> "$target"
        sleep "$pause"
    done
}

measure() {  # measure NAME PID ERRFILE [OUTFILE]
    local name=$1 pid=$2 errfile=$3 outfile=${4:-} s0 t0 r0 l0 cpu
    sleep 3  # start-up done
    kill -0 "$pid" 2> /dev/null || { echo "$name did not keep running:" >&2; cat "$errfile" >&2; exit 1; }
    echo "== $name: idle for $IDLE_SECONDS s"
    s0=$(switches "$pid"); t0=$(ticks "$pid"); r0=$(grep -c "$REPORT" "$errfile" || true)
    sleep "$IDLE_SECONDS"
    echo "   $(switched "$s0" "$(switches "$pid")") context switches," \
        "$(((($(ticks "$pid") - t0) * 1000) / hz)) ms CPU," \
        "$(($(grep -c "$REPORT" "$errfile" || true) - r0)) snapshots"

    echo "== $name: one agent writing $LINES_PER_SECOND lines a second for $AGENT_SECONDS s"
    s0=$(switches "$pid"); t0=$(ticks "$pid"); r0=$(grep -c "$REPORT" "$errfile" || true)
    [ -n "$outfile" ] && l0=$(wc -l < "$outfile")
    fake_agent
    sleep 3  # the last paced snapshot
    cpu=$(((($(ticks "$pid") - t0) * 1000) / hz))
    local took=$((AGENT_SECONDS + 3))
    echo "   CPU $cpu ms over $took s = $(awk "BEGIN {printf \"%.2f\", $cpu / ($took * 10)}") % of a core;" \
        "$(($(grep -c "$REPORT" "$errfile" || true) - r0)) snapshots;" \
        "$(switched "$s0" "$(switches "$pid")") context switches" \
        ${outfile:+"; $(($(wc -l < "$outfile") - l0)) lines printed"}
}

REPORT='^\[refresh\]'
WRENISLAND_PROFILE=1 "$APP" 2> "$CORPUS/island.err" & island=$!; pids+=($island)
measure "island" "$island" "$CORPUS/island.err"
kill "$island"; wait "$island" 2> /dev/null || true

REPORT='^\[snapshot\]'
WRENISLAND_PROFILE=1 "$APP" --watch > "$CORPUS/watch.out" 2> "$CORPUS/watch.err" & watch=$!
pids+=($watch)
measure "--watch" "$watch" "$CORPUS/watch.err" "$CORPUS/watch.out"
kill "$watch"; wait "$watch" 2> /dev/null; echo "   --watch ended with status $? on SIGTERM"
