#!/usr/bin/env bash
# The whole-process discovery benchmark: `wrenisland --dump` on a heavy fake home, against the
# I/O floor (io_floor: the same windows pread one after another into one static buffer, nothing
# parsed). bench/measure.py runs every command in turn and reports medians of wall time, CPU time
# and minor page faults; GNU time the peak memory; strace the system calls:
#   1. "heavy": RECENT sessions with BYTES-long transcripts modified within the day, half
#      Claude's (a SUBAGENT_SHARE of them with a subagent transcript in `<id>/subagents/`) and
#      half Codex's (every fifth with a copy in `archived_sessions`), and as many older sessions
#      beside them; targets: wall <= 1.2 x floor, CPU <= 1.5 x, minor faults <= 3 x
#   2. "heavy10": the same recent files with 10 x as many older sessions (only listing them may
#      cost more), next to a plain `find` of the tree
#   3. the dump's peak resident memory on both (target: < 16 MiB), and the system calls of one
#      run of the dump and of the floor
# With BASE_APP set to another build of wrenisland (of an older commit, say), its dump runs in
# the same loop ("before-…"), so before and after are measured under the same conditions.
# With RT=1 the timed runs get a real-time priority (chrt, needs root): on a machine loaded by
# other work, wall time then shows what the threads give on an idle one. With SEEN_CPUS=N every
# run sees N processors online (a private mount over /sys/devices/system/cpu/online, needs
# root), so the thread count of a larger machine shows in faults and memory.
#
# usage: bench/run_discovery_bench.sh [CORPUS_DIR]     (default /tmp/wren-discovery-corpus)
# env:   BUILD_DIR (default build/release, configured with the release preset when missing),
#        BASE_APP, RECENT (200), OLD_FACTOR (10), BYTES (4194304), EARLY_SHARE (0),
#        SUBAGENT_SHARE (0.65), RUNS (20), RT, SEEN_CPUS, KEEP_CORPUS=1 to time an existing corpus
#        again
# needs: python3, GNU time (/usr/bin/time); strace for the system calls
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build/release}
CORPUS=${1:-/tmp/wren-discovery-corpus}
RECENT=${RECENT:-200}
OLD=$((RECENT * ${OLD_FACTOR:-10}))
BYTES=${BYTES:-4194304}
EARLY_SHARE=${EARLY_SHARE:-0}
SUBAGENT_SHARE=${SUBAGENT_SHARE:-0.65}
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

if [ "${KEEP_CORPUS:-0}" = 1 ] && [ -f "$CORPUS/heavy/recent.txt" ]; then
    echo "== reusing the corpus in $CORPUS (its recent files must still be under 20 h old)"
else
    echo "== corpus in $CORPUS: $RECENT recent sessions of $BYTES bytes, then $RECENT and $OLD old ones"
    rm -rf "$CORPUS"
    mkdir -p "$CORPUS"
    NOW=$(date +%s)
    "$MAKE_HOMES" "$CORPUS/heavy" --recent "$RECENT" --old 0 --bytes "$BYTES" \
        --early-share "$EARLY_SHARE" --subagent-share "$SUBAGENT_SHARE" --now "$NOW"
    # The second home shares the recent files (hard links); each gets its own old ones.
    cp -al "$CORPUS/heavy" "$CORPUS/heavy10"
    rm "$CORPUS/heavy10/recent.txt"
    "$MAKE_HOMES" "$CORPUS/heavy" --recent 0 --old "$RECENT" \
        --subagent-share "$SUBAGENT_SHARE" --seed 2 --now "$NOW"
    "$MAKE_HOMES" "$CORPUS/heavy10" --recent 0 --old "$OLD" \
        --subagent-share "$SUBAGENT_SHARE" --seed 2 --now "$NOW"
fi
for home in heavy heavy10; do
    echo "   $home: $(find "$CORPUS/$home" -name '*.jsonl' -newermt '24 hours ago' | wc -l) recent" \
        "and $(find "$CORPUS/$home" -name '*.jsonl' ! -newermt '24 hours ago' | wc -l) old" \
        "transcripts in $(find "$CORPUS/$home" -type d | wc -l) folders"
done

# Warm the page cache and the directory caches, so every run measures the same thing.
find "$CORPUS" -type f -name '*.jsonl' -exec cat {} + > /dev/null

# The older build may know only the variable, not the option, so both use the variable.
dump() { echo "WRENISLAND_DUMP=1 CLAUDE_CONFIG_DIR=$1/claude CODEX_HOME=$1/codex $2"; }
listing() {
    echo "find $1/claude/projects $1/codex/sessions $1/codex/archived_sessions -name *.jsonl" \
        "-newermt 24%20hours%20ago"
}

sessions=$(env $(dump "$CORPUS/heavy" "$APP") | wc -l)
[ "$sessions" -gt 0 ] || { echo "the dump found no session" >&2; exit 1; }
echo "== the dump lists $sessions sessions; the floor reads: $("$IO_FLOOR" "$CORPUS/heavy/recent.txt")"
echo "== stages of one dump (WRENISLAND_PROFILE=1):"
env WRENISLAND_PROFILE=1 $(dump "$CORPUS/heavy10" "$APP") 2>&1 > /dev/null | sed 's/^/   /'
mkdir -p "$CORPUS/empty"

commands=(
    floor "$IO_FLOOR $CORPUS/heavy/recent.txt"
    dump-empty "$(dump "$CORPUS/empty" "$APP")"
    dump-heavy "$(dump "$CORPUS/heavy" "$APP")"
    dump-heavy10 "$(dump "$CORPUS/heavy10" "$APP")"
    find-heavy "$(listing "$CORPUS/heavy")"
    find-heavy10 "$(listing "$CORPUS/heavy10")"
)
if [ -n "${BASE_APP:-}" ]; then
    commands+=(before-heavy "$(dump "$CORPUS/heavy" "$BASE_APP")"
               before-heavy10 "$(dump "$CORPUS/heavy10" "$BASE_APP")")
fi
priority=()
[ "${RT:-0}" = 1 ] && priority=(chrt -f 10)
seen=()
if [ -n "${SEEN_CPUS:-}" ]; then
    echo "0-$((SEEN_CPUS - 1))" > "$CORPUS/online"
    # shellcheck disable=SC2016  # expanded by the inner shell
    seen=(unshare -m sh -c 'mount --bind "$0" /sys/devices/system/cpu/online && exec "$@"'
          "$CORPUS/online")
fi
"${seen[@]}" "${priority[@]}" python3 "$ROOT/bench/measure.py" "$RUNS" "${commands[@]}"

peak() {  # the largest maximum resident set of three runs, in MiB
    local most=0 kib
    for _ in 1 2 3; do
        "${seen[@]}" /usr/bin/time -o "$CORPUS/peak.txt" -f %M env "$@" > /dev/null 2>&1
        kib=$(tail -n 1 "$CORPUS/peak.txt")
        [ "$kib" -gt "$most" ] && most=$kib
    done
    awk -v k="$most" 'BEGIN { printf "%.1f", k / 1024 }'
}
calls() {  # pread64, openat, munmap and all system calls of one run, threads included
    "${seen[@]}" strace -f -c -o "$CORPUS/calls.txt" env "$@" > /dev/null 2>&1
    awk '$NF == "pread64" || $NF == "openat" || $NF == "munmap" { n[$NF] = $4 }
         $NF == "total" { n["total"] = $4 }
         END { printf "pread64 %d, openat %d, munmap %d, all %d", n["pread64"], n["openat"],
               n["munmap"], n["total"] }' "$CORPUS/calls.txt"
}
echo
echo "3. peak memory (target < 16 MiB): dump $(peak $(dump "$CORPUS/heavy" "$APP")) MiB," \
    "with 10 x the old files $(peak $(dump "$CORPUS/heavy10" "$APP")) MiB"
if [ -n "${BASE_APP:-}" ]; then
    echo "   before: $(peak $(dump "$CORPUS/heavy" "$BASE_APP")) MiB," \
        "$(peak $(dump "$CORPUS/heavy10" "$BASE_APP")) MiB"
fi
echo "   the floor: $(peak "$IO_FLOOR" "$CORPUS/heavy/recent.txt") MiB"
if command -v strace > /dev/null; then
    echo "   system calls, floor:  $(calls "$IO_FLOOR" "$CORPUS/heavy/recent.txt")"
    echo "   system calls, dump:   $(calls $(dump "$CORPUS/heavy" "$APP"))"
    [ -n "${BASE_APP:-}" ] && echo "   system calls, before: $(calls $(dump "$CORPUS/heavy" "$BASE_APP"))"
fi
exit 0
