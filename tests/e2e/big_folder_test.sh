#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: a folder of 200,000 WAV files opened in the directory list
# while the bass plays. The beat must go on untouched, every hit on its
# frame of the 150 ms grid, and the window must answer every click within
# 100 ms while the folder is read.
#
# The program starts in a folder whose first subfolder is the big one; with
# all 16 bass cells on and the snare track muted, the recording starts, and
# click_response clicks the snare cells in turn (silent, but each click
# repaints its cell) every 200 ms for 12 s, timing each repaint, and
# double-clicks the big folder in the directory list at 2 s. hit_grid then
# checks every hit of the recording against the grid.
#
# usage: big_folder_test.sh <trovik> <hit_grid> <click_response> <bass.wav>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
hit_grid=$2
click_response=$3
reference=$4
source "$here/../../scripts/session.sh"

files=200000
seconds=12
open_at=2
limit_ms=100
tolerance_ms=0.1

# The other folders fill the directory list so that the current folder
# scrolls to its top row and the big one sits right below it (see
# e2e_pick_first_sample).
# In memory where there is a tmpfs: on a busy disk, making 200,000 files
# takes half a minute instead of seconds.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    work=$(mktemp -d -p /dev/shm trovik-big-folder.XXXXXX)
    trap 'rm -rf "$work"; e2e_cleanup' EXIT
else
    work="$e2e_dir/work"
fi
big="$work/a_big"
mkdir -p "$big" "$work/b" "$work/c" "$work/d" "$work/e"
started=$(date +%s)
(cd "$big" && seq -f 'hit%06g.wav' 1 "$files" | xargs touch)
echo "$(find "$big" -name '*.wav' | wc -l) empty WAV files made in $(($(date +%s) - started)) s"

# The bass sample's rate: no conversion anywhere, every hit found on its frame.
e2e_start_x
e2e_start_pulse 44100
e2e_start_program "$program" "$work"
# Label5: the snare track muted; taken before the cells, which wait for the window.
xdotool mousemove --window "$window" 48 224 click 1
e2e_click_cells 115 $(seq 1 16)

# File1 (374, 300, 100 x 45) inside its border: one colour while it lists
# nothing, more once it lists files.
file_list_colours() {
    import -window "$window" "$e2e_dir/$1.png" &&
        convert "$e2e_dir/$1.png" -crop 94x39+377+303 +repage -format %k info:
}
[ "$(file_list_colours before)" -eq 1 ] || { echo "the file list is not empty before the big folder is opened" >&2; exit 1; }

snare_cells=()
for column in $(seq 1 16); do snare_cells+=("$((122 + 29 * (column - 1) + 11)),261"); done

e2e_start_recording "$e2e_dir/out.wav"
recorder=$e2e_recorder
clicks_ok=1
"$click_response" "$window" "$seconds" 200 "$limit_ms" "${snare_cells[@]}" \
    --double-click-at "$open_at" 300,324 >"$e2e_dir/clicks.txt" || clicks_ok=0
kill -INT "$recorder"
wait "$recorder" || true

ok=1
problem() { echo "FAILED: $1" >&2; ok=0; }
verdict() { sed -n 's/^verdict: FAILED: //p' "$1"; }
echo "== the window's answers to clicks (${seconds} s, the folder opened at ${open_at} s)"
cat "$e2e_dir/clicks.txt"
[ "$(file_list_colours after)" -gt 1 ] || problem "the big folder was never opened: the file list stays empty"
[ "$clicks_ok" = 1 ] || problem "the window did not answer every click within $limit_ms ms while the folder was read: $(verdict "$e2e_dir/clicks.txt")"

echo "== the bass hits"
"$hit_grid" "$e2e_dir/out.wav" --reference "$reference" --interval 150 --from 0.3 \
    --tolerance "$tolerance_ms" >"$e2e_dir/grid.txt" ||
    problem "the bass lost its 150 ms grid while the folder was read: $(verdict "$e2e_dir/grid.txt")"
cat "$e2e_dir/grid.txt"
recorded=$(sox --i -D "$e2e_dir/out.wav")
awk -v r="$recorded" -v s="$seconds" 'BEGIN { exit !(r >= s - 1) }' ||
    problem "the recording kept only $recorded s of $seconds"
[ -n "${TROVIK_E2E_KEEP:-}" ] && cp "$e2e_dir/out.wav" "$e2e_dir"/*.png "$TROVIK_E2E_KEEP/"
[ "$ok" = 1 ] || { e2e_show_logs; exit 1; }
echo "big folder: OK"
