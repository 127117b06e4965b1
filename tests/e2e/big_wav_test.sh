#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: the real program picks a WAV of 1.9 GB (16-bit mono, a second
# of tone at its start, silence after it) as the effect sample, with all 16
# effect cells on. The tone's pitch, 887.3 Hz, never repeats its waveform on
# the exact frame within a step, so that every start is told apart. Checks from the recording that the tone starts
# again at every step, and from /proc that the program's peak resident
# memory stays under 100 MB.
#
# usage: big_wav_test.sh <trovik-executable> <onsets-tool> <make_long_wav-tool> [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
onsets=$2
make_long_wav=$3
seconds=${4:-3}
source "$here/../../scripts/session.sh"

# As in effect_sample_test.sh: the sample sits in the first subfolder of the
# folder the program starts in. The big file is a hole after its first
# second, so it is written at once and takes no room; it goes with $e2e_dir.
samples="$e2e_dir/samples"
mkdir -p "$samples/a_fx" "$samples/b" "$samples/c" "$samples/d" "$samples/e"
"$make_long_wav" "$samples/a_fx/big.wav" 1900000000 44100 887.3 1.0
"$make_long_wav" "$e2e_dir/reference.wav" 8820 44100 887.3 1.0

e2e_start_x
e2e_start_pulse
e2e_start_program "$program" "$samples"
e2e_click_cells 385 $(seq 1 16)
e2e_pick_first_sample
e2e_wait_sound || { echo "the big WAV never sounded" >&2; exit 1; }
e2e_record_for "$e2e_dir/out.wav" "$seconds"

kill -0 "$program_pid" || { echo "the program has ended" >&2; exit 1; }
peak_kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$program_pid/status")
report=$("$onsets" "$e2e_dir/out.wav" --reference "$e2e_dir/reference.wav" --interval 150)
echo "$report"
echo "peak resident memory: $peak_kb kB"
# The tone starts again at (nearly) every 150 ms step, and memory stays low.
awk -v seconds="$seconds" -v peak="$peak_kb" '
    /^hits: / { hits = $2 }
    /^intervals ms: / { for (i = 1; i < NF; ++i) if ($i == "median") median = $(i + 1) + 0 }
    END {
        expected = seconds * 1000 / 150
        if (hits < expected * 0.8) { print "the tone started " hits + 0 " times, expected about " expected > "/dev/stderr"; exit 1 }
        if (median <= 148 || median >= 152) { print "median interval " median " ms, expected 150" > "/dev/stderr"; exit 1 }
        if (peak >= 102400) { print "peak resident memory " peak " kB, not under 100 MB" > "/dev/stderr"; exit 1 }
    }' <<<"$report"
echo "big WAV: OK"
