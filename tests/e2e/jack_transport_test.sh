#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end with --jack-transport, on a JACK server of the test's own (the
# dummy backend at 48 kHz, 256 frames), driven by jack_transport:
#  1. the transport stands: ours stands; it rolls: ours plays, every hit
#     (the bass on all 16 steps) on its exact frame of the 150 ms grid;
#  2. jack_transport becomes timebase master at 140.625 BPM: our hits come
#     every 5120 frames (a sixteenth), the tempo told on standard error. (It
#     counts whole ticks per period: 24 at this tempo, exact; at 120 BPM it
#     would count 20 for 20.48, and its beats run slower than its tempo.)
#  3. it stops: ours stops; our Play rolls it, our Stop stops it.
#
# usage: jack_transport_test.sh <trovik-executable> <onsets-tool> <bass.wav>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
onsets=$2
reference=$3
source "$here/../../scripts/session.sh"

fail() {
    echo "FAILED: $1" >&2
    echo quit >&3 || true
    e2e_show_logs
    exit 1
}

e2e_start_x
e2e_sound_home
unset PULSE_SERVER
export JACK_NO_AUDIO_RESERVATION=1

has_port() { jack_lsp 2>/dev/null | grep -qx "$1"; }
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >>"$e2e_dir/jackd.log" 2>&1 &
e2e_pids+=($!)
e2e_poll has_port system:playback_1 || fail "jackd did not answer"

# One jack_transport for the whole test (a timebase master lives as long as
# its client), fed from a pipe that stays open.
mkfifo "$e2e_dir/commands"
jack_transport <"$e2e_dir/commands" >"$e2e_dir/transport.log" 2>&1 &
e2e_pids+=($!)
exec 3>"$e2e_dir/commands"
trap 'echo quit >&3 2>/dev/null || true; e2e_cleanup' EXIT
transport() { echo "$1" >&3; }
rolling() { [[ $(timeout 2 jack_showtime 2>/dev/null | head -n 1) == *"state: Rolling"* ]]; }
ours_play() {
    local before
    before=$(e2e_region_signature 441 0 53 17)
    sleep 0.5
    e2e_region_differs "$before" 441 0 53 17
}

e2e_start_program "$program" . --jack-transport
e2e_poll has_port trovik:out_1 || fail "no JACK port of ours"
e2e_click_cells 115 $(seq 1 16)

echo "== 1: the transport stands, then rolls"
ours_play && fail "we play while the transport stands"
transport play
e2e_poll ours_play || fail "the transport rolls, and we do not play"
# Every hit of 6 s recorded, $1 frames after the one before.
expect_hits_every() {
    local frames
    jack_rec -f "$e2e_dir/rec.wav" -d 6 -b 16 trovik:out_1 >>"$e2e_dir/jack_rec.log" 2>&1 ||
        fail "jack_rec failed"
    frames=$("$onsets" "$e2e_dir/rec.wav" --reference "$reference" --frames | sed -n 's/^hit frames: //p')
    awk -v step="$1" '{ for (i = 2; i <= NF; ++i) if ($i - $(i - 1) != step) bad = 1
                        if (NF < 288000 / step - 4) bad = 1 } END { exit bad }' <<<"$frames" ||
        fail "$2: the hits are not every $1 frames: $frames"
}
expect_hits_every 7200 "at the tempo control's 150 ms"

echo "== 2: a timebase master at 140.625 BPM"
transport master
transport "tempo 140.625"
e2e_poll grep -q "trovik: JACK transport: tempo 140.62 BPM" "$e2e_dir/trovik.log" ||
    fail "the master's tempo was not told"
expect_hits_every 5120 "at the master's tempo"

echo "== 3: start and stop, both ways"
transport stop
e2e_poll eval '! ours_play' || fail "the transport stopped, and we play on"
xdotool mousemove --window "$window" 224 12 click 1 # Play
e2e_poll rolling || fail "our Play did not roll the transport"
xdotool mousemove --window "$window" 272 12 click 1 # Stop
e2e_poll eval '! rolling' || fail "our Stop did not stop the transport"
transport quit
echo "on the JACK transport: OK"
