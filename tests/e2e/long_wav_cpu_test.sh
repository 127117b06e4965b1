#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: a WAV picked with the mouse in the sample browser (its folder
# opened in the directory list, the file clicked in the file list) plays on
# the effect track, which is silent before the pick; and a long effect
# sample costs no more processor time than an empty pattern. The real
# program picks a 5-minute stereo WAV (53 MB, too large to hold, so it is
# streamed) with all 16 effect cells on: every hit
# starts it again in the part kept in memory, and the decoder has nothing to
# do once the ring behind that part is filled. Measures the program's own
# processor time (user + system, from /proc) over three spans:
#   1. the empty pattern;
#   2. all 16 effect cells on, the long WAV picked;
#   3. the cells off again, the last hit playing on through the file.
# Passes when span 2 lies within 2 points of a core of span 1, span 3
# within 1 point, and the program's peak resident memory stays under 100 MB
# (the sound decoded whole would take 106 MB).
#
# Why the bounds do not fail by chance on a busy 2-core machine: the figures
# are the program's own processor time, not the machine's, so other work does
# not add to them; at most it delays the program's timers a little. Every
# span runs the same timers (the step clock, the browser's 1 ms poll), and a
# playing voice adds well under a tenth of a point on top (copying frames,
# reading the file at 176 kB a second): with two other processes keeping
# both cores busy, the three spans still agreed within half a point. A
# decoder that spins costs tens of points.
#
# usage: long_wav_cpu_test.sh <trovik-executable> [seconds-per-span]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
span=${2:-10}
source "$here/../../scripts/session.sh"

# The program starts in a folder whose first subfolder holds the sample; the
# other folders fill the directory list so that the current folder scrolls
# to its top row and the first subfolder sits right below it.
samples="$e2e_dir/samples"
mkdir -p "$samples/a_fx" "$samples/b" "$samples/c" "$samples/d" "$samples/e"
sox -n -r 44100 -b 16 -c 2 "$samples/a_fx/long.wav" synth 300 sine 440 vol 0.37

ticks_per_second=$(getconf CLK_TCK)

now() { date +%s.%N; }

# Prints the program's share of one core, in percent, over the next span.
measure() {
    local ticks_before ticks_after start end
    ticks_before=$(e2e_cpu_ticks "$program_pid")
    start=$(now)
    sleep "$span"  # the span measured
    ticks_after=$(e2e_cpu_ticks "$program_pid")
    end=$(now)
    awk -v ticks=$((ticks_after - ticks_before)) -v hz="$ticks_per_second" -v start="$start" \
        -v end="$end" 'BEGIN { printf "%.1f\n", 100 * ticks / hz / (end - start) }'
}

# Fails unless the left channel of a short recording holds the 440 Hz tone,
# or, with "silence", nothing (below 1000 of 32768).
expect_tone() {
    local stats peak pitch
    e2e_record_for "$e2e_dir/check.wav" 1.5
    stats=$(sox "$e2e_dir/check.wav" -n remix 1 stat 2>&1)
    peak=$(awk '/^Maximum amplitude/ {print $3}' <<<"$stats")
    pitch=$(awk '/^Rough/ {print $3}' <<<"$stats")
    awk -v peak="$peak" -v pitch="$pitch" -v silence="${1:-}" 'BEGIN {
        exit !(silence ? peak < 0.03 : peak > 0.1 && pitch > 400 && pitch < 480) }' ||
        { echo "the effect track plays ${1:-not the long WAV} (peak $peak, about $pitch Hz)" >&2; e2e_show_logs; exit 1; }
}

e2e_start_x
e2e_start_pulse
e2e_start_program "$program" "$samples"
e2e_wait_settled "$program_pid"
empty=$(measure)

e2e_click_cells 385 $(seq 1 16)
expect_tone silence  # before the pick
e2e_pick_first_sample
e2e_wait_sound || { echo "the long WAV never sounded" >&2; exit 1; }
expect_tone
playing=$(measure)

e2e_click_cells 385 $(seq 1 16)
# The last hit plays on: the voice goes from the part in memory into the ring.
switched_off=$(measure)
expect_tone

kill -0 "$program_pid" || { echo "the program has ended" >&2; exit 1; }
peak_kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$program_pid/status")
echo "processor time, percent of one core: empty pattern $empty;" \
    "16 hits on the long WAV $playing; cells off again $switched_off; peak memory $peak_kb kB"
awk -v empty="$empty" -v playing="$playing" -v off="$switched_off" -v peak="$peak_kb" 'BEGIN {
    if (peak >= 102400) { print "peak resident memory " peak " kB, not under 100 MB: the WAV was held whole" > "/dev/stderr"; exit 1 }
    if (playing > empty + 2) { print "playing the long WAV costs more than 2 points over the empty pattern" > "/dev/stderr"; exit 1 }
    if (off > empty + 1) { print "after the cells are off, more than 1 point over the empty pattern" > "/dev/stderr"; exit 1 }
}'
echo "long WAV processor time: OK"
