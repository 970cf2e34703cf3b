#!/usr/bin/env bash
# The island among other programs that own parts of the screen: a window manager (openbox) and
# a compositor (xcompmgr) that come and go while it runs, full-screen windows, and a second
# display. The pointer is not needed: everything here is driven by the desktop's own events.
#   usage: desktop_e2e.sh path/to/wrenisland
set -uo pipefail
binary=$(realpath "$1")
source "$(dirname "$0")/e2e_lib.sh"
# On the way out, a failure also shows what the island said.
trap '[[ -s $scratch/island.err ]] && sed "s/^/island: /" "$scratch/island.err"; e2e_cleanup' EXIT
e2e_require Xvfb openbox xcompmgr xte xdotool xwininfo xprop xsetroot xev xrandr import convert

e2e_private_home

# openbox with one key binding added to its defaults: Alt+F11 toggles full-screen.
cat >"$scratch/rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <keyboard>
    <keybind key="A-F11"><action name="ToggleFullscreen"/></keybind>
  </keyboard>
</openbox_config>
XML

first=$(e2e_free_display 30 34)
e2e_xvfb "$first" 1920x1080x24
xsetroot -solid '#336699'
e2e_spawn openbox --config-file "$scratch/rc.xml"
openbox=$e2e_last_pid
has_wm() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until 10 "openbox runs" has_wm
e2e_spawn xcompmgr
compositor=$e2e_last_pid
# A white window under the island's place, managed by openbox: the island must stay above it.
# It logs being taken into a frame, so a window-manager restart shows in its log.
e2e_spawn xev -geometry 1200x300+360+0 -name beneath -event structure >"$scratch/beneath.log" 2>&1
xte 'mousemove 960 900'

pixel() {
    import -window root "$scratch/shot.png" 2>/dev/null &&
        convert "$scratch/shot.png" -crop "1x1+$1+$2" -depth 8 txt:- |
        grep -o '#[0-9A-Fa-f]\{6\}' | head -1
}
# Inside the island's window but outside its body (under its ears, 707 to 719 and 1200 to
# 1212), the window beneath shows as it does beside it.
beside_like_desktop() {
    local beside
    beside=$(pixel 400 200)
    [[ $(pixel 712 40) == "$beside" && $(pixel 1206 40) == "$beside" ]]
}
body_is_black() { [[ $(pixel 960 20) == "#000000" ]]; }
body_not_black() { [[ $(pixel 960 20) != "#000000" ]]; }
island_window() { xdotool search --class wrenisland 2>/dev/null | head -1; }
has_island() { [[ -n $(island_window) ]]; }
map_state() { xwininfo -id "$1" 2>/dev/null | awk '/Map State:/ {print $NF}'; }
viewable() { [[ $(map_state "$wid") == IsViewable ]]; }
unmapped() { [[ $(map_state "$wid") == IsUnMapped ]]; }
# Shaped to its body: the window's bounding shape is narrower than the window.
shaped() {
    local info extent
    info=$(xwininfo -shape -id "$wid" 2>/dev/null) || return 1
    extent=$(awk '/Window shape extents:/ {print $4}' <<<"$info")
    [[ -n $extent && ${extent%%x*} -lt $(awk '/^  Width:/ {print $2; exit}' <<<"$info") ]]
}
not_shaped() { xwininfo -shape -id "$wid" 2>/dev/null | grep -q 'No window shape defined'; }

# ---- Start among them ----
e2e_spawn "$binary" 2>"$scratch/island.err"
wait_until 10 "the island window appears" has_island
wid=$(island_window)
wait_until 10 "it is shown" viewable
check "no transient-for helper window named" bash -c "! xprop -id $wid WM_TRANSIENT_FOR | grep -q 'window id'"
check "typed as a utility window as before" bash -c "xprop -id $wid _NET_WM_WINDOW_TYPE | grep -q UTILITY"
wait_until 10 "its body is drawn above the window beneath" body_is_black
wait_until 10 "with a compositor it is soft, not shaped" not_shaped
check "and the desktop shows around its body" beside_like_desktop

# ---- The compositor goes away and comes back ----
kill "$compositor"
wait_until 10 "without a compositor it shapes itself to its body" shaped
wait_until 10 "and leaves no black box around it" beside_like_desktop
check "its body is still drawn" body_is_black
e2e_spawn xcompmgr
wait_until 10 "a compositor started later makes it soft again" not_shaped
wait_until 10 "still with nothing black around it" beside_like_desktop

# ---- Full-screen windows ----
# Openbox focuses the new window; Alt+F11 makes it full-screen.
e2e_spawn xev -geometry 400x300+100+500 -name fullscreen -event button >/dev/null 2>&1
active_is_new() { [[ $(xdotool getactivewindow getwindowname 2>/dev/null) == fullscreen ]]; }
wait_until 10 "a new window is active" active_is_new
xte 'keydown Alt_L' 'key F11' 'keyup Alt_L'
is_fullscreen() { xprop -id "$(xdotool getactivewindow)" _NET_WM_STATE | grep -q FULLSCREEN; }
wait_until 10 "it goes full-screen" is_fullscreen
wait_until 5 "the island steps aside for it" unmapped
xte 'keydown Alt_L' 'key F11' 'keyup Alt_L'
wait_until 5 "and is back when full-screen ends" viewable
wait_until 5 "drawn again" body_is_black
open_is_black() { [[ $(pixel 960 120) == "#000000" ]]; }
open_not_black() { [[ $(pixel 960 120) != "#000000" ]]; }
xte 'mousemove 960 30' 'mousemove 961 31'
wait_until 5 "resting on it opens it again" open_is_black
xte 'mousemove 960 900' 'mousemove 961 901'
wait_until 5 "and leaving closes it" open_not_black

# Two monitors: full-screen on the left one hides the island there, and the pointer moving to
# the right one brings it back there (960 + 480 - 253 = 1187).
island_x() { xwininfo -id "$wid" | awk '/Absolute upper-left X/ {print $NF}'; }
at_x() { [[ $(island_x) == "$1" ]]; }
xrandr --setmonitor left 960/254x1080/286+0+0 screen >/dev/null 2>&1
xrandr --setmonitor right 960/254x1080/286+960+0 none >/dev/null 2>&1
xte 'mousemove 300 700' 'mousemove 301 701'
wait_until 5 "the island follows the pointer to the left monitor" at_x 227
xte 'keydown Alt_L' 'key F11' 'keyup Alt_L'
wait_until 10 "the window goes full-screen on the left monitor" is_fullscreen
wait_until 5 "the island steps aside there" unmapped
xte 'mousemove 1400 700' 'mousemove 1401 701'
wait_until 5 "the pointer on the right monitor brings it back there" at_x 1187
wait_until 5 "shown" viewable
xte 'keydown Alt_L' 'key F11' 'keyup Alt_L'
not_fullscreen() { ! is_fullscreen; }
wait_until 10 "full-screen ends" not_fullscreen
xrandr --delmonitor left >/dev/null 2>&1
xrandr --delmonitor right >/dev/null 2>&1
xte 'mousemove 960 900' 'mousemove 961 901'
wait_until 5 "one monitor again, the island in the middle" at_x 707

# ---- The window manager restarts and maps its frames anew, on top ----
reframed() { grep -c ReparentNotify "$scratch/beneath.log"; }
framed_before=$(reframed)
openbox --restart
# Let go to the root window, then taken into a new frame.
back_in_a_frame() { (($(reframed) >= framed_before + 2)) && has_wm; }
wait_until 10 "openbox is back and has framed the window beneath anew" back_in_a_frame
wait_until 10 "the island is above the new frames" body_is_black

# i3 makes its frames bypass the window manager like the island, and a restart maps them anew
# above everything.
if command -v i3 >/dev/null && command -v i3-msg >/dev/null; then
    kill "$openbox"
    gone() { ! kill -0 "$openbox" 2>/dev/null; }
    wait_until 10 "openbox has left" gone
    printf '# i3 config file (v4)\nfont pango:DejaVu Sans 8\n' >"$scratch/i3.config"
    e2e_spawn i3 -c "$scratch/i3.config" >"$scratch/i3.log" 2>&1
    i3_frames_it() { (($(reframed) >= framed_before + 1)) && has_wm; }
    framed_before=$(reframed)
    wait_until 10 "i3 has framed the window beneath" i3_frames_it
    wait_until 10 "the island is above i3's frames" body_is_black
    framed_before=$(reframed)
    i3-msg restart >/dev/null
    wait_until 10 "i3 restarted and framed it anew" back_in_a_frame
    wait_until 10 "the island is back above i3's new frames" body_is_black
else
    echo "skip i3 (not installed)"
fi

# ---- One island per user and display ----
"$binary" >/dev/null 2>"$scratch/second.err"
check "a second island on the same display exits 0" test $? -eq 0
check "saying it is already running" grep -q "already running" "$scratch/second.err"
second=$(e2e_free_display 35 39)
e2e_xvfb "$second" 800x600x24
e2e_spawn "$binary" 2>"$scratch/second-display.err"
wait_until 10 "another display runs its own island" has_island
export DISPLAY=$first
check "the first island still runs" viewable

e2e_done
