#!/usr/bin/env bash
# End to end: the real program in a real X server, clicked with the mouse and
# checked from screenshots of its window, which stay in the given folder.
#
# usage: window_test.sh <trovik-executable> <window_shot_check-executable> <screenshot-folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1 check=$2 shots=$3
source "$here/session.sh"
mkdir -p "$shots"
rm -f "$shots"/*.png
shot() { sleep 0.3; import -window "$window" "$shots/$1.png"; }
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

e2e_start_x
SDL_AUDIODRIVER=dummy "$program" >"$e2e_dir/trovik.log" 2>&1 &
e2e_pids+=($!)
window=$(e2e_wait_window "Trovik beat maker")

shot start
"$check" "$shots/start.png" sounds sounds sounds
# Bass step 1, the rightmost effect cell and the effect switch.
click 133 126
click 568 396
click 48 360
shot edited
"$check" "$shots/edited.png" sounds sounds muted 1:1 3:16
echo "window: all checks passed; screenshots in $shots"
