#!/usr/bin/env bash
# The island on a real X server (Xvfb with a compositor), measured as a user would feel it:
#   1. time from start to the first island frame on a corpus of RECENT transcripts, against the
#      dump's wall time on the same corpus
#   2. idle cost over IDLE_SECONDS with the pointer away: context switches and CPU time
#   3. CPU per second while the pointer moves over the desktop (not the island)
#   4. resident memory before and after CHURN_SECONDS of pointer churn: entering, resting,
#      leaving, crossing monitors, refreshing
#
# usage: bench/run_island_bench.sh [CORPUS_DIR]   (default /tmp/wren-island-corpus)
# env:   BUILD_DIR (build/release), RECENT (200), BYTES (4194304), RUNS (5), IDLE_SECONDS (30),
#        MOVE_SECONDS (10), CHURN_SECONDS (600)
# needs: Xvfb, xcompmgr, xte, xrandr, xdotool, GNU time
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/release}
CORPUS=${1:-/tmp/wren-island-corpus}
RECENT=${RECENT:-200}
BYTES=${BYTES:-4194304}
RUNS=${RUNS:-5}
IDLE_SECONDS=${IDLE_SECONDS:-30}
MOVE_SECONDS=${MOVE_SECONDS:-10}
CHURN_SECONDS=${CHURN_SECONDS:-600}

for tool in Xvfb xcompmgr xte xrandr xdotool /usr/bin/time; do
    command -v "$tool" > /dev/null || { echo "needs $tool" >&2; exit 1; }
done
cmake --build "$BUILD_DIR" --target wrenisland make_homes -j2 > /dev/null
APP=$BUILD_DIR/src/wrenisland

if [ ! -f "$CORPUS/recent.txt" ]; then
    echo "== corpus in $CORPUS: $RECENT transcripts of $BYTES bytes"
    rm -rf "$CORPUS" && mkdir -p "$CORPUS"
    "$BUILD_DIR/bench/make_homes" "$CORPUS" --recent "$RECENT" --old 0 --bytes "$BYTES" \
        --now "$(date +%s)"
fi
find "$CORPUS" -type f -name '*.jsonl' -exec cat {} + > /dev/null  # warm the page cache
export CLAUDE_CONFIG_DIR=$CORPUS/claude CODEX_HOME=$CORPUS/codex
unset WAYLAND_DISPLAY QT_QPA_PLATFORM WRENISLAND_FORCE_OPEN WRENISLAND_DUMP

pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2> /dev/null; done; wait 2> /dev/null' EXIT
for n in $(seq 150 199); do
    [ ! -e "/tmp/.X$n-lock" ] && { export DISPLAY=:$n; break; }
done
Xvfb "$DISPLAY" -screen 0 1920x1080x24 -nolisten tcp -noreset > /dev/null 2>&1 & pids+=($!)
for _ in $(seq 100); do xdotool getmouselocation > /dev/null 2>&1 && break; sleep 0.1; done
xcompmgr > /dev/null 2>&1 & pids+=($!)
xte 'mousemove 960 900'

ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

echo "== 1. start to first frame (median of $RUNS), against the dump on the same corpus"
frames=()
for _ in $(seq "$RUNS"); do
    WRENISLAND_PROFILE=1 "$APP" 2> "$CORPUS/island.err" & pid=$!
    for _ in $(seq 200); do grep -q firstFrame "$CORPUS/island.err" && break; sleep 0.05; done
    kill "$pid"; wait "$pid" || true
    frames+=("$(awk '/firstFrame/ {print $2}' "$CORPUS/island.err")")
done
dumps=()
for _ in $(seq "$RUNS"); do
    start=$(ms); WRENISLAND_DUMP=1 "$APP" > /dev/null; dumps+=($(($(ms) - start)))
done
echo "   first frame $(printf '%s\n' "${frames[@]}" | median) ms;" \
    "dump $(printf '%s\n' "${dumps[@]}" | median) ms"

"$APP" 2> /dev/null & island=$!; pids+=($island)
sleep 2
# Context switches per thread ("tid count" lines), and CPU time in clock ticks. A thread that
# ends in between counts as one wake-up; a new one counts with all of its switches.
switches() {
    for t in /proc/"$island"/task/*; do
        echo "${t##*/} $(awk '/ctxt_switches/ {s += $2} END {print s}' "$t/status" 2> /dev/null)"
    done
}
switched() {  # switched BEFORE AFTER: the wake-ups between two snapshots
    awk 'NR == FNR {before[$1] = $2; next} {after[$1] = $2}
         END {for (t in after) s += after[t] - before[t]; for (t in before) if (!(t in after)) s++
              print s}' <(echo "$1") <(echo "$2")
}
ticks() { awk '{print $14 + $15}' /proc/"$island"/stat; }
hz=$(getconf CLK_TCK)

echo "== 2. idle for $IDLE_SECONDS s with the pointer away"
s0=$(switches); t0=$(ticks)
sleep "$IDLE_SECONDS"
echo "   $(switched "$s0" "$(switches)") context switches, $(((($(ticks) - t0) * 1000) / hz)) ms CPU"

echo "== 3. the pointer moving over the desktop for $MOVE_SECONDS s (about 100 moves a second)"
t0=$(ticks); s0=$(switches)
end=$((SECONDS + MOVE_SECONDS)); x=100
while [ $SECONDS -lt $end ]; do
    moves=(); for i in $(seq 0 9); do moves+=("mousemove $((x + i * 7)) $((500 + i * 3))" 'usleep 10000'); done
    xte "${moves[@]}"; x=$(((x + 70) % 1700 + 100))
done
cpu=$(((($(ticks) - t0) * 1000) / hz))
echo "   $((cpu / MOVE_SECONDS)) ms CPU per second," \
    "$(($(switched "$s0" "$(switches)") / MOVE_SECONDS)) context switches per second"

echo "== 4. pointer churn for $CHURN_SECONDS s"
rss() { awk '/VmRSS/ {print $2}' /proc/"$island"/status; }
rss0=$(rss)
end=$((SECONDS + CHURN_SECONDS)); round=0
while [ $SECONDS -lt $end ]; do
    round=$((round + 1))
    xte 'mousemove 960 20' 'usleep 400000' 'mousemove 900 71' 'mouseclick 1' 'usleep 200000' \
        'mousemove 960 900' 'usleep 300000'                       # rest, open, select, leave
    xte 'mousemove 950 25' 'usleep 100000' 'mousemove 960 900'   # a brief pass: refresh only
    if [ $((round % 20)) -eq 0 ]; then                            # a second monitor, and back
        xrandr --setmonitor left 960/254x1080/286+0+0 screen > /dev/null 2>&1 || true
        xrandr --setmonitor right 960/254x1080/286+960+0 none > /dev/null 2>&1 || true
        xte 'mousemove 1400 700' 'usleep 300000' 'mousemove 1440 20' 'usleep 400000' \
            'mousemove 1400 700' 'usleep 300000'
        xrandr --delmonitor right > /dev/null 2>&1 || true
        xrandr --delmonitor left > /dev/null 2>&1 || true
        xte 'mousemove 960 900' 'usleep 300000'
    fi
done
echo "   $round rounds; resident memory $((rss0 / 1024)) MiB at start, $(($(rss) / 1024)) MiB at end" \
    "($rss0 KiB -> $(rss) KiB)"
