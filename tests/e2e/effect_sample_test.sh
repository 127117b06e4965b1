#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: the real program in a real X server, with a real sound server.
# Switches every other effect cell on, then picks a WAV with the mouse in the
# sample browser (opens its folder in the directory list, clicks it in the
# file list) and checks from the recording that the effect track is silent
# before the pick and plays that file, an 880 Hz tone, after it.
#
# usage: effect_sample_test.sh <trovik-executable>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
source "$here/../../scripts/session.sh"

# The program starts in a folder whose first subfolder holds the sample; the
# other folders fill the directory list so that the current folder scrolls
# to its top row and the first subfolder sits right below it.
samples="$e2e_dir/samples"
mkdir -p "$samples/a_fx" "$samples/b" "$samples/c" "$samples/d" "$samples/e"
sox -n -r 44100 -b 16 -c 1 "$samples/a_fx/Zap.WAV" synth 0.15 sine 880 vol 0.37

e2e_start_x
e2e_start_pulse
e2e_start_program "$program" "$samples"
e2e_click_cells 385 1 3 5 7 9 11 13 15

# record <file> <seconds>, then prints the left channel's peak (0 to 1) and
# its rough frequency in Hz.
record() {
    e2e_record_for "$1" "$2"
    sox "$1" -n remix 1 stat 2>&1 | awk '/^Maximum amplitude/ {peak = $3} /^Rough/ {print peak, $3}'
}
read -r before _ < <(record "$e2e_dir/before.wav" 1.5)

e2e_pick_first_sample
e2e_wait_sound || { echo "the picked sample never sounded" >&2; exit 1; }
read -r after pitch < <(record "$e2e_dir/after.wav" 2.5)

echo "before the pick: peak $before; after it: peak $after at about $pitch Hz"
# Silent before (below 1000 of 32768), the picked 880 Hz sample after.
awk -v before="$before" -v after="$after" -v pitch="$pitch" \
    'BEGIN { exit !(before < 0.03 && after > 0.1 && pitch > 800 && pitch < 960) }'
echo "effect sample: OK"
