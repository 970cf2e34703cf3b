#!/usr/bin/env bash
# The island under a top panel that reserves space (tint2 on openbox), with picom drawing
# shadows: it hangs right below the panel, whose middle stays visible and clickable, and no
# shadow outlines its window; with "Over the top panel" remembered, it hangs from the screen's
# top edge.
#   usage: panel_e2e.sh path/to/wrenisland
set -uo pipefail
binary=$(realpath "$1")
source "$(dirname "$0")/e2e_lib.sh"
# On the way out, a failure also shows what the island said.
trap '[[ -s $scratch/island.err ]] && sed "s/^/island: /" "$scratch/island.err"; e2e_cleanup' EXIT
e2e_require Xvfb openbox tint2 picom xev xte xdotool xwininfo xprop xsetroot import compare

e2e_private_home
settings="$scratch/config/wrenisland/wrenisland.conf"

# A 400 × 32 orange panel at the top centre, reserving its height, whose middle is a clock that
# always reads "panel" and leaves a file behind when clicked.
cat >"$scratch/tint2rc" <<EOF
rounded = 0
border_width = 0
background_color = #ff8800 100
border_color = #000000 0
panel_items = C
panel_size = 400 32
panel_position = top center horizontal
panel_layer = top
panel_background_id = 1
strut_policy = follow_size
autohide = 0
time1_format = panel
time1_font = DejaVu Sans 10
clock_font_color = #000000 100
clock_padding = 176 0
clock_background_id = 0
clock_lclick_command = touch $scratch/clicked
EOF
# Shadows on every window but docks, as its sample configuration has them.
cat >"$scratch/picom.conf" <<'EOF'
backend = "xrender";
shadow = true;
wintypes: { dock = { shadow = false; }; };
EOF

e2e_xvfb "$(e2e_free_display 20 29)" 1920x1080x24
xsetroot -solid '#336699'
echo '<openbox_config xmlns="http://openbox.org/3.4/rc"/>' >"$scratch/rc.xml"
e2e_spawn openbox --config-file "$scratch/rc.xml" >"$scratch/openbox.log" 2>&1
has_wm() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until 10 "openbox runs" has_wm
e2e_spawn tint2 -c "$scratch/tint2rc" >"$scratch/tint2.log" 2>&1
tint2=$e2e_last_pid
workarea_top() { xprop -root _NET_WORKAREA 2>/dev/null | awk -F', *' '{print $2}'; }
reserved() { [[ $(workarea_top) == 32 ]]; }
wait_until 10 "the panel reserves the top 32 rows" reserved
e2e_spawn picom --config "$scratch/picom.conf" >"$scratch/picom.log" 2>&1
xte 'mousemove 960 900'

# A screenshot, and the colour of its pixel at x,y as #rrggbb.
shoot() { import -window root "$scratch/shot.png" 2>/dev/null; }
shot_pixel() {
    convert "$scratch/shot.png" -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        grep -o '#[0-9A-Fa-f]\{6\}' | head -1
}
pixel() { shoot && shot_pixel "$1" "$2"; }
# The colours of the screen at the points "x y"... all equal the background (far from anything).
like_background() {
    shoot || return 1
    local background xy
    background=$(shot_pixel 600 900)
    for xy in "$@"; do
        [[ $(shot_pixel $xy) == "$background" ]] || return 1
    done
}
panel_picture() { import -window root -crop 400x32+760+0 "$scratch/$1.png" 2>/dev/null; }

# A window that picom shades (its frame ends at x 302), so the absence of a shadow around the
# island means something.
e2e_spawn xev -geometry 100x100+200+600 -name shaded -event button >/dev/null 2>&1
shaded() { ! like_background "306 660"; }
wait_until 10 "picom draws shadows around ordinary windows" shaded
panel_picture before

# ---- Below the panel ----
e2e_spawn "$binary" 2>"$scratch/island.err"
island=$e2e_last_pid
island_window() { xdotool search --class wrenisland 2>/dev/null | head -1; }
has_island() { [[ -n $(island_window) ]]; }
wait_until 10 "the island window appears" has_island
wid=$(island_window)
field() { xwininfo -id "$wid" 2>/dev/null | awk -v f="$1" '$0 ~ f {print $NF}'; }
frame() { echo "$(field 'Absolute upper-left X'),$(field 'Absolute upper-left Y') $(field 'Width')x$(field 'Height')"; }
strut_top() {
    xprop -id "$(xdotool search --class tint2 | head -1)" _NET_WM_STRUT 2>/dev/null |
        awk -F', *' '{print $3}'
}
check "the panel's strut is 32 high" test "$(strut_top)" = 32
at() { [[ $(frame) == "$1" ]]; }
wait_until 5 "it hangs right below the panel: 707,32, only its body (506 × 60)" at "707,32 506x60"
body_drawn() { [[ $(pixel 960 60) == "#000000" ]]; }
wait_until 10 "its body is drawn below the panel" body_drawn
panel_picture after
same_panel() { [[ $(compare -metric AE "$scratch/before.png" "$scratch/after.png" null: 2>&1) == 0 ]]; }
check "the whole panel shows as it did before the island came" same_panel
check "and the choice is not written at start" test ! -e "$settings"

# Just outside the body (which spans 720 to 1199 below its ears, 32 to 87), inside and outside
# its window (707 to 1212, 32 to 91): the background, with no shadow of picom's.
check "no rectangle around the collapsed island" like_background \
    "716 60" "1203 60" "712 89" "960 93" "700 60" "1219 60" "960 100" "730 98"

# The panel's middle takes its own clicks, and resting there does not open the island.
xte 'mousemove 960 16' 'mousemove 961 16'
sleep 0.6
check "resting on the panel's middle leaves the island shut" at "707,32 506x60"
xte 'mouseclick 1'
clicked() { [[ -e $scratch/clicked ]]; }
wait_until 5 "a click on the panel's middle reaches the panel" clicked
# Right below the panel it does open, hanging from the same edge.
xte 'mousemove 960 40' 'mousemove 961 41'
opened() { [[ $(field Width) == 546 && $(field 'Absolute upper-left Y') == 32 ]]; }
at_top() { [[ $(field 'Absolute upper-left Y') == 0 ]]; }
wait_until 5 "resting right below the panel opens it" opened
xte 'mousemove 960 900' 'mousemove 961 901'
wait_until 5 "leaving closes it to its body" at "707,32 506x60"

# The panel goes and comes back while the island runs: it follows the work area.
kill "$tint2"
wait_until 5 "without the panel it hangs from the screen's top edge" at "707,0 506x60"
e2e_spawn tint2 -c "$scratch/tint2rc" >>"$scratch/tint2.log" 2>&1
wait_until 10 "with the panel back, below it again" at "707,32 506x60"

# Its menu, from a right click on the open island: the second choice is "Over the top panel".
xte 'mousemove 960 40' 'mousemove 961 41'
wait_until 5 "it opens again" opened
xte 'mousemove 960 60' 'mouseclick 3'
menu_shown() { (($(xdotool search --onlyvisible --class wrenisland 2>/dev/null | wc -l) >= 2)); }
wait_until 5 "a right click on the open island shows its menu" menu_shown
xte 'key Down' 'key Down' 'key Return'
wait_until 5 "ticking \"Over the top panel\" hangs it from the screen's top edge" at_top
check "and writes the choice" grep -qx "overTopPanel=true" "$settings"
xte 'mousemove 960 900' 'mousemove 961 901'
wait_until 5 "leaving closes it to its body at the top edge" at "707,0 506x60"

# ---- Over the top panel, remembered ----
kill "$island"
gone() { ! kill -0 "$island" 2>/dev/null; }
wait_until 5 "the island quits" gone
mkdir -p "$(dirname "$settings")"
printf '[WrenIsland]\noverTopPanel=true\n' >"$settings"  # as a hand-edited file might be
e2e_spawn "$binary" 2>"$scratch/island.err"
wait_until 10 "the island starts again" has_island
wid=$(island_window)
wait_until 5 "over the top panel it hangs from the screen's top edge: 707,0" at "707,0 506x60"

e2e_done
