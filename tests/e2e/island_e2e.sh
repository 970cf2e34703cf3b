#!/usr/bin/env bash
# The real island on a real X server: Xvfb with a compositor, the pointer moved with xte (XTest
# motion, which XInput2 raw motion sees; xdotool mousemove would warp it unseen), and the result
# checked with window queries and screenshots.
#   usage: island_e2e.sh path/to/wrenisland
set -uo pipefail
binary=$(realpath "$1")

for tool in Xvfb xcompmgr trayer xte xwininfo xdotool xsetroot xrandr xev convert import; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
passes=0
check() {  # check "what" command...
    local what=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
        echo "ok   $what"
    else
        failures=$((failures + 1))
        echo "FAIL $what"
    fi
}
# Polls a condition for up to $1 seconds.
within() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@"; do
        ((SECONDS >= deadline)) && return 1
        sleep 0.05
    done
}

# ---- A fake home with three Claude sessions from the last hour ----
now=$(date +%s)
stamp() { date -u -d "@$1" +%Y-%m-%dT%H:%M:%SZ; }
for n in 1 2 3; do
    dir="$scratch/claude/projects/-work-p$n"
    mkdir -p "$dir"
    t=$((now - n * 300))
    printf '%s\n%s\n' \
        "{\"type\":\"user\",\"cwd\":\"/work/p$n\",\"timestamp\":\"$(stamp $((t - 60)))\",\"message\":{\"role\":\"user\",\"content\":\"task $n\"}}" \
        "{\"type\":\"assistant\",\"cwd\":\"/work/p$n\",\"timestamp\":\"$(stamp $t)\",\"message\":{\"role\":\"assistant\",\"usage\":{\"input_tokens\":$((n * 10000))}}}" \
        >"$dir/00000000-0000-4000-8000-00000000000$n.jsonl"
done
mkdir -p "$scratch/codex" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export CLAUDE_CONFIG_DIR="$scratch/claude" CODEX_HOME="$scratch/codex"
export WRENISLAND_FORCE_MISSING=claude,codex,wrenmem WRENISLAND_PROFILE=1
export XDG_RUNTIME_DIR="$scratch/runtime" XDG_CONFIG_HOME="$scratch/config"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM WRENISLAND_FORCE_OPEN WRENISLAND_SCREEN

# ---- The X server, a compositor, a background colour and a window beneath the island ----
display=
for n in $(seq 90 140); do
    if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then display=:$n; break; fi
done
export DISPLAY=$display
Xvfb "$DISPLAY" -screen 0 1920x1080x24 -nolisten tcp -noreset >"$scratch/xvfb.log" 2>&1 &
pids+=($!)
within 10 xwininfo -root >/dev/null 2>&1 || { echo "FAIL Xvfb did not start"; exit 1; }
xsetroot -solid '#336699'
xcompmgr >/dev/null 2>&1 &
pids+=($!)
xev -geometry 1920x400+0+0 -name beneath -event button >"$scratch/beneath.log" 2>&1 &
pids+=($!)
xte 'mousemove 960 800'
sleep 0.5

# Pixel colour of the screen at x,y as #rrggbb.
pixel() {
    import -window root "$scratch/shot.png" 2>/dev/null &&
        convert "$scratch/shot.png" -crop "1x1+$1+$2" -depth 8 txt:- | grep -o '#[0-9A-Fa-f]\{6\}' | head -1
}
is_black() { [[ $(pixel "$1" "$2") == "#000000" ]]; }
is_not_black() { [[ $(pixel "$1" "$2") != "#000000" ]]; }
clicks_beneath() { grep -c ButtonPress "$scratch/beneath.log"; }
refreshes() { grep -c '^\[refresh\]' "$scratch/island.err"; }

# ---- Start ----
"$binary" >"$scratch/island.out" 2>"$scratch/island.err" &
island=$!
pids+=($island)
window() { xdotool search --class wrenisland 2>/dev/null | head -1; }
within 10 window >/dev/null
wid=$(window)
check "the island window appears" test -n "$wid"
geometry=$(xwininfo -id "$wid" 2>/dev/null)
field() { grep "$1" <<<"$geometry" | awk '{print $NF}'; }
check "placed at the top centre, 707,0" test "$(field 'Absolute upper-left X'):$(field 'Absolute upper-left Y')" = "707:0"
check "only as big as the collapsed body, 506 × 60" test "$(field Width)x$(field Height)" = "506x60"
check "bypasses the window manager" test "$(field Override)" = "yes"

# Collapsed: a black body 56 high, the desktop showing through around it.
check "collapsed body is black" within 5 is_black 960 40
check "nothing below the collapsed body" is_not_black 960 70
check "the desktop shows through beside the body" test "$(pixel 712 30)" = "$(pixel 300 30)"

# Click-through while collapsed: a click inside the window but off the island reaches beneath.
before=$(clicks_beneath)
xte 'mousemove 712 40' 'mouseclick 1'
check "a click passes through the collapsed island" within 3 test "$(clicks_beneath)" -gt "$before"

# A pointer that enters and leaves within the dwell never opens it, but refreshes once.
refreshed=$(refreshes)
xte 'mousemove 960 30' 'usleep 120000' 'mousemove 960 800'
sleep 0.6
check "a brief pass does not open it" is_not_black 960 100
check "a brief pass refreshes once" within 3 test "$(refreshes)" -eq $((refreshed + 1))

# Resting on it opens it (32 + 22 + 3 × 25 = 129 high).
xte 'mousemove 960 30' 'mousemove 961 31'
check "resting on the island opens it" within 3 is_black 960 120
# Clicks are taken while open: a tap on the second row selects it (+110 for its detail).
before=$(clicks_beneath)
xte 'mousemove 900 71' 'mouseclick 1'
check "a row tap selects it" within 3 is_black 960 230
sleep 0.3
check "clicks on the open island are not passed through" test "$(clicks_beneath)" -eq "$before"

# Leaving and coming back within the grace keeps it open, with its selection.
xte 'mousemove 960 800' 'usleep 50000' 'mousemove 960 100'
sleep 0.5
check "returning within the grace keeps it open" is_black 960 230

# Leaving closes it after the grace, clearing the selection.
xte 'mousemove 960 800'
check "leaving closes it" within 3 is_not_black 960 100
xte 'mousemove 960 30' 'mousemove 962 32'
check "it opens again" within 3 is_black 960 120
check "without the old selection" is_not_black 960 230
xte 'mousemove 960 800'
within 3 is_not_black 960 100

# A second monitor: the pointer moved onto it takes the island there (960 + 480 − 253 = 1187).
xrandr --setmonitor left 960/254x1080/286+0+0 screen >/dev/null 2>&1
xrandr --setmonitor right 960/254x1080/286+960+0 none >/dev/null 2>&1
sleep 0.5
xte 'mousemove 1400 700' 'mousemove 1401 701'
moved_right() { [[ $(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {print $NF}') == 1187 ]]; }
check "the island follows the pointer to the new monitor" within 5 moved_right

# A second island for the same user does not start.
"$binary" >/dev/null 2>"$scratch/second.err"
status=$?
check "a second instance exits 0" test "$status" -eq 0
check "and says why" grep -q "already running" "$scratch/second.err"

# SIGTERM ends it cleanly.
kill -TERM "$island"
wait "$island"
status=$?
check "SIGTERM exits 0" test "$status" -eq 0

# With a tray: its menu's Quit, by Ctrl+Q while the menu is open, ends it with status 0.
trayer --edge bottom --align right --widthtype pixel --width 100 >/dev/null 2>&1 &
pids+=($!)
sleep 0.5
"$binary" >/dev/null 2>&1 &
island=$!
pids+=($island)
tray_icon() { xwininfo -root -tree | grep -q '"WrenIsland": ("wrenisland" "wrenisland")  22x'; }
check "the tray shows the island's icon" within 10 tray_icon
icon=$(xwininfo -root -tree | grep '"WrenIsland": ("wrenisland" "wrenisland")  22x' | grep -o '+[0-9]*+[0-9]*$')
ix=$(cut -d+ -f2 <<<"$icon")
iy=$(cut -d+ -f3 <<<"$icon")
menu() {  # opens the tray menu
    xte "mousemove $((ix + 10)) $((iy + 10))" 'mouseclick 3'
    sleep 0.8
}
# "Start at login" is the first item that can be chosen.
entry="$scratch/config/autostart/io.github.wrenisland.WrenIsland.desktop"
menu
xte 'key Down' 'key Return'
check "Start at login writes the autostart entry" within 3 test -f "$entry"
check "which starts this program" grep -q "^Exec=\".*wrenisland\"$" "$entry"
menu
xte 'key Down' 'key Return'
check "and turned off again removes it" within 3 test ! -e "$entry"
menu
xte 'keydown Control_L' 'key q' 'keyup Control_L'
gone() { ! kill -0 "$island" 2>/dev/null || [[ $(ps -o stat= -p "$island") == Z* ]]; }
check "Ctrl+Q in the tray menu quits" within 5 gone
wait "$island"
status=$?
check "and exits 0" test "$status" -eq 0

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
