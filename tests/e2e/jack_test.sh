#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end through a JACK server of the test's own (the dummy backend at
# 48 kHz, 256 frames, under a private server name; at real-time priority 70,
# as a studio runs it, above the audio threads of other programs, which the
# tests running beside it start at 10):
#  1. TROVIK_AUDIO=jack with no server: one line on standard error, the
#     window opens and the bar display walks on, silently.
#  2. The server starts: our two ports are connected to its playback ports
#     within 5 s; with the 16 bass cells on, jack_rec records our ports for
#     20 s and every hit lies on its exact frame of the 150 ms grid.
#  3. The server is killed and started again: our ports are back within 5 s,
#     and the hits sound again.
#
# usage: jack_test.sh <trovik-executable> <onsets-tool> <bass.wav>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
onsets=$2
reference=$3
source "$here/../../scripts/session.sh"

allowed_us=5000000
# 150 ms at 48 kHz.
step_frames=7200

fail() {
    echo "FAILED: $1" >&2
    e2e_show_logs
    [ -s "$e2e_dir/jackd.log" ] && tail -n 20 "$e2e_dir/jackd.log" >&2
    exit 1
}

start_jackd() {
    jackd -n "$JACK_DEFAULT_SERVER" -R -P 70 -d dummy -r 48000 -p 256 >>"$e2e_dir/jackd.log" 2>&1 &
    jackd_pid=$!
    e2e_pids+=("$jackd_pid")
    e2e_poll jack_answers || fail "jackd did not answer in 30 s"
}

jack_answers() { jack_lsp >/dev/null 2>&1; }
ports_connected() { jack_lsp -c trovik:out_2 2>/dev/null | grep -q 'system:playback_2'; }

# Polls for our ports for up to $allowed_us after the server answered.
expect_ports_within_allowed() {
    local since=$1
    e2e_poll ports_connected || fail "our ports never appeared on the JACK server"
    local took=$(($(e2e_now_us) - since))
    echo "ports connected $((took / 1000)) ms after the server answered"
    [ "$took" -le "$allowed_us" ] || fail "our ports took $((took / 1000)) ms, allowed $((allowed_us / 1000))"
}

record_hits() {
    e2e_jack_on_time e2e_jack_record "$1" "$2" trovik:out_1 trovik:out_2 || fail "no recording on time"
}

# Every hit of recording $1 (of $2 s) found by exact match, each exactly
# step_frames after the one before: none off its frame, lost or doubled.
expect_exact_hits() {
    local report frames
    report=$("$onsets" "$1" --reference "$reference" --interval 150 --from 0.3 --frames)
    grep -v '^hit frames' <<<"$report"
    grep -q "hits by exact match" <<<"$report" || fail "$3: no hit found frame by frame"
    frames=$(sed -n 's/^hit frames: //p' <<<"$report")
    awk -v step="$step_frames" -v least=$(($2 * 1000 / 150 - 4)) -v what="$3" '{
        for (i = 2; i <= NF; ++i)
            if ($i - $(i - 1) != step) { printf "%s: hit at frame %d comes %d frames after the one before\n", what, $i, $i - $(i - 1); bad = 1 }
        if (NF < least) { printf "%s: %d hits, wanted at least %d\n", what, NF, least; bad = 1 }
    } END { exit bad }' <<<"$frames" >&2 || fail "$3: the hits are not on their frames"
}

e2e_start_x
# A runtime folder of our own: no PulseAudio server to find, and JACK's
# server named for this test alone.
e2e_sound_home
# JACK keeps a few server slots for the whole machine and frees one only
# when its server ends cleanly or a server of the same name starts again:
# under a fixed name, the server this test kills, or a run cut short, costs
# no slot of later runs.
export JACK_DEFAULT_SERVER=trovik-e2e-jack
unset PULSE_SERVER
export JACK_NO_AUDIO_RESERVATION=1
export TROVIK_AUDIO=jack

echo "== 1: no JACK server"
e2e_start_program "$program"
before=$(e2e_region_signature 441 0 53 17)
e2e_poll e2e_region_differs "$before" 441 0 53 17 || fail "the bar display stands still without a server"
lines=$(wc -l <"$e2e_dir/trovik.log")
cat "$e2e_dir/trovik.log"
[ "$lines" -eq 1 ] || fail "$lines lines on standard error without a server, wanted 1"

echo "== 2: the server starts"
start_jackd
expect_ports_within_allowed "$(e2e_now_us)"
e2e_click_cells 115 $(seq 1 16)
record_hits "$e2e_dir/first.wav" 20
expect_exact_hits "$e2e_dir/first.wav" 20 "through JACK"

echo "== 3: the server is killed and starts again"
kill -KILL "$jackd_pid"
e2e_poll e2e_gone "$jackd_pid" || fail "jackd outlived SIGKILL by 30 s"
sleep 1  # the program finds its server gone
start_jackd
expect_ports_within_allowed "$(e2e_now_us)"
record_hits "$e2e_dir/again.wav" 3
expect_exact_hits "$e2e_dir/again.wav" 3 "after the server's return"
echo "through JACK: OK"
