#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: the sound server goes away and comes back, and the beat sounds
# again without anyone touching the program.
#  1. The beat plays (all 16 bass cells on); the PulseAudio server is killed
#     and started again on the same socket; within a few seconds of its
#     return the hits sound again, on every step.
#  2. The server hangs (stopped, not killed): the program gives its stream
#     up, the window goes on counting the steps, and once the server goes on
#     the hits sound again.
#  3. The program starts while there is no server at all and plays the beat
#     silently; when a server appears, the hits begin within a few seconds.
#
# usage: server_restart_test.sh <trovik-executable> <onsets-tool> <bass.wav>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
onsets=$2
reference=$3
source "$here/../../scripts/session.sh"

# How long after the server is back the first hit may come (the program
# retries at least twice a second; the rest is the recorder's lost start and
# slack for a busy machine), and
# how long the beat after it is checked.
allowed=5
steady=4

start_program() {
    e2e_start_program "$program"
    e2e_click_cells 115 $(seq 1 16)
}

# Records for the allowed time plus the steady span and checks that the
# first hit came within the allowed time of the server's return ($2, in ns
# since the epoch) and a hit on every step after it. Right after a server
# starts, parec leaves out about the first 2 s of what it records; its
# recording ends when it is stopped, so the end ties the recording to the
# clock, and the delay measured is an upper bound that includes those 2 s.
expect_beat() {
    local what=$1 ready=$2 file="$e2e_dir/$1.wav" report first hits length stopped
    e2e_record "$file" &
    local recorder=$!
    sleep $((allowed + steady))  # the span recorded
    kill -INT "$recorder"
    stopped=$(date +%s%N)
    wait "$recorder" || true
    # A child that ended stays a zombie until waited for: kill -0 would find it.
    if [ "$(awk '{print $3}' "/proc/$program_pid/stat" 2>/dev/null)" = Z ] || ! kill -0 "$program_pid" 2>/dev/null; then
        echo "$what: the program is gone" >&2
        cat "$e2e_dir/trovik.log" >&2
        exit 1
    fi
    report=$("$onsets" "$file" --reference "$reference" --interval 150)
    echo "== $what"
    echo "$report"
    [ -n "${TROVIK_E2E_KEEP:-}" ] && cp "$file" "$TROVIK_E2E_KEEP/"
    first=$(sed -n 's/^first hit s: //p' <<<"$report")
    hits=$(sed -n 's/^hits: //p' <<<"$report")
    length=$(sed -n 's/^recording: \([0-9.]*\) s.*/\1/p' <<<"$report")
    if [ -z "$first" ]; then
        echo "$what: no hit at all" >&2
        exit 1
    fi
    delay=$(awk -v f="$first" -v l="$length" -v r="$ready" -v s="$stopped" 'BEGIN { printf "%.2f", (s - r) / 1e9 - l + f }')
    echo "first hit $delay s after the server was ready"
    if ! awk -v d="$delay" -v a="$allowed" 'BEGIN { exit !(d <= a) }'; then
        echo "$what: the first hit came $delay s after the server was ready, allowed $allowed s" >&2
        exit 1
    fi
    # From the first hit to the end of the recording, one hit per 150 ms
    # step, minus a few.
    if ! awk -v f="$first" -v h="$hits" -v total="$length" \
        'BEGIN { exit !(h >= (total - f) * 1000 / 150 - 3) }'; then
        echo "$what: only $hits hits after the first at $first s of the recording" >&2
        exit 1
    fi
}

e2e_start_x

# 1. The server restarts while the beat plays.
# At 48 kHz: a program that starts with no server opens at that rate, and a
# sink at the same rate plays its hits unresampled, each on its exact frame.
e2e_start_pulse 48000
start_program
e2e_record_for "$e2e_dir/before.wav" 2
before=$("$onsets" "$e2e_dir/before.wav" --reference "$reference" --interval 150 | sed -n 's/^hits: //p')
if [ "${before:-0}" -lt 8 ]; then
    echo "the beat did not play before the restart (${before:-0} hits in 2 s)" >&2
    exit 1
fi
e2e_stop_pulse
sleep 1  # the server stays away a second: the program's retries fail meanwhile
e2e_pulse_daemon
expect_beat "after the server restarted" "$(date +%s%N)"

# 2. The server hangs. The bar display (Label4) shows whether the steps go on.
server=$(cat "$XDG_RUNTIME_DIR/pulse/pid")
kill -STOP "$server"
sleep 6  # the program gives the stream up after 4 s without a callback
shown=$(e2e_region_signature 441 0 53 17)
if ! e2e_poll e2e_region_differs "$shown" 441 0 53 17; then
    kill -CONT "$server"
    echo "the window stopped counting the steps while the server hung" >&2
    exit 1
fi
kill -CONT "$server"
expect_beat "after the hung server went on" "$(date +%s%N)"

# 3. No server at start-up; one appears later.
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
e2e_stop_pulse
start_program
sleep 2  # the program plays on without a server for a while, its retries failing
e2e_pulse_daemon
expect_beat "after a server appeared" "$(date +%s%N)"
echo "server restart: OK"
