#!/usr/bin/env bash
# End to end: the real program in a real X server, worked with the mouse and
# the keyboard and checked from screenshots of its window.
#
# usage: window_test.sh <trovik-executable> <window_shot_check-executable> <screenshot-folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
check=$2
shots=$3
source "$here/session.sh"
mkdir -p "$shots"
rm -f "$shots"/*.png

shot() { sleep 0.3; import -window "$window" "$shots/$1.png"; }
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
cell_centre_x() { echo $((122 + 29 * ($1 - 1) + 11)); }
fail() { echo "FAIL: $*"; exit 1; }
# Clicking a button gives it the focus, which changes its look; switching bass
# step 2 on and off moves the focus to that cell and leaves the pattern as it was.
move_focus_away() { click "$(cell_centre_x 2)" 126; click "$(cell_centre_x 2)" 126; }

e2e_start_x
SDL_AUDIODRIVER=dummy "$program" >"$e2e_dir/trovik.log" 2>&1 &
e2e_pids+=($!)
window=$(e2e_wait_window "Trovik beat maker")

# The window: 606 x 429, centred on the 1280 x 1024 screen, fixed in size.
info=$(xwininfo -id "$window")
width=$(awk '/Width:/ {print $2}' <<<"$info")
height=$(awk '/Height:/ {print $2}' <<<"$info")
left=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
top=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
[ "$width x $height" = "606 x 429" ] || fail "client area is $width x $height"
[ "$left,$top" = "337,297" ] || fail "window at $left,$top, not centred"
hints=$(xprop -id "$window" WM_NORMAL_HINTS)
grep -q "minimum size: 606 by 429" <<<"$hints" || fail "no fixed minimum size: $hints"
grep -q "maximum size: 606 by 429" <<<"$hints" || fail "no fixed maximum size: $hints"
xprop -id "$window" _NET_WM_ICON | grep -q "Icon (32 x 32)" || fail "no 32 x 32 window icon"
echo "window: 606 x 429 at $left,$top, fixed size, with icon"

shot start
"$check" layout "$shots/start.png"
"$check" cells "$shots/start.png"
echo "layout: OK"

# The loop runs from launch, so the bar display changes.
shot running
"$check" differ "$shots/start.png" "$shots/running.png" 441 0 53 17

# The keyboard: the focus starts on Play, Tab takes it to Stop, Space presses it.
xdotool windowfocus --sync "$window"
xdotool key Tab space
shot stopped
sleep 0.5
shot still_stopped
"$check" same "$shots/stopped.png" "$shots/still_stopped.png" 441 0 53 17
echo "keyboard: Tab and Space stop the loop"

# Cells and switches with the mouse.
click "$(cell_centre_x 1)" 126
click "$(cell_centre_x 5)" 261
click "$(cell_centre_x 16)" 396
click 48 360
shot edited
"$check" cells "$shots/edited.png" 1:1 2:5 3:16
"$check" switches "$shots/edited.png" sounds sounds muted
click "$(cell_centre_x 5)" 261
click 48 360
shot edited_back
"$check" cells "$shots/edited_back.png" 1:1 3:16
"$check" switches "$shots/edited_back.png" sounds sounds sounds
echo "cells and switches: OK"

# The selector marks the clicked button; the two rows below it are inert.
click $((20 + 24 * 2 + 12)) 127
move_focus_away
shot selector_3
"$check" differ "$shots/start.png" "$shots/selector_3.png" 20 116 24 22
"$check" same "$shots/start.png" "$shots/selector_3.png" 44 116 24 22
"$check" differ "$shots/start.png" "$shots/selector_3.png" 68 116 24 22
click $((20 + 24 * 3 + 12)) 260
click $((20 + 12)) 397
move_focus_away
shot inert_rows
"$check" same "$shots/start.png" "$shots/inert_rows.png" 20 249 96 22
"$check" same "$shots/start.png" "$shots/inert_rows.png" 20 386 96 22
"$check" same "$shots/selector_3.png" "$shots/inert_rows.png" 20 116 96 22
click $((20 + 12)) 127
move_focus_away
shot selector_1
"$check" same "$shots/start.png" "$shots/selector_1.png" 20 116 96 22
echo "selector: OK"

# Play starts the loop again.
click 224 12
shot playing
sleep 0.5
shot still_playing
"$check" differ "$shots/playing.png" "$shots/still_playing.png" 441 0 53 17
echo "play: OK"
echo "window: all checks passed; screenshots in $shots"
