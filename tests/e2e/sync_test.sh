#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end in time with other programs, on a JACK server of the test's
# own (the dummy backend at 48 kHz, 512 frames, real-time priority 70 as in
# tests/e2e/jack_test.sh). In a Link session with
# LinkHut as the other peer, driven through a pseudo-terminal; jack_rec
# records its clicks and our hits (the bass on all 16 steps) at once:
#  1. we join LinkHut's stopped session, stopped; its start starts ours:
#     every step within 1 ms of the session's grid, every step 1 within
#     1 ms of LinkHut's accented click;
#  2. LinkHut's tempo moves up by 10 BPM, while we record: followed within a bar;
#  3. its stop stops ours; our Play starts it, our Stop stops it;
#  4. a second instance of ours: its hits within 1 ms of the first's.
# On the JACK transport, with --jack-transport, driven by jack_transport:
#  5. the transport stands: ours stands; it rolls: ours plays, every hit
#     on its exact frame of the 150 ms grid;
#  6. it is located to frame 0 while rolling: step 1 sounds at once;
#  7. jack_transport becomes timebase master at 140.625 BPM: our hits come
#     every 5120 frames (a sixteenth), the tempo told on standard error. (It
#     counts whole ticks per period: 48 at this tempo, exact; at 120 BPM it
#     would count 40 for 40.96, and its beats run slower than its tempo.)
#  8. it stops: ours stops; our Play rolls it, our Stop stops it;
#  9. jackd is killed and started again: its transport rolls, ours plays.
#
# usage: sync_test.sh <trovik-executable> <onsets-tool> <bass.wav>
# LINK_TEST_SECONDS (8) sets the length of the recordings of 1 and 4: the
# figures in docs/PERFORMANCE.md are of 60 s.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
onsets=$2
reference=$3
check="$here/sync_check.py"
source "$here/../../scripts/session.sh"

tolerance=48 # 1 ms at 48 kHz
seconds=${LINK_TEST_SECONDS:-8}

fail() {
    echo "FAILED: $1" >&2
    tail -n 5 "$e2e_dir/jackd.log" >&2 || true
    e2e_show_logs
    tail -c 600 "$e2e_dir/linkhut.log" | tr '\r' '\n' | tail -n 3 >&2
    exit 1
}

e2e_start_x
e2e_sound_home
unset PULSE_SERVER
export JACK_NO_AUDIO_RESERVATION=1 TROVIK_AUDIO=jack JACK_DEFAULT_SERVER=trovik-e2e-sync

has_port() { jack_lsp 2>/dev/null | grep -qx "$1"; }
jack_lsp >/dev/null 2>&1 && fail "a JACK server named $JACK_DEFAULT_SERVER runs already, left over from an earlier run"
start_jackd() {
    jackd -n "$JACK_DEFAULT_SERVER" -R -P 70 -d dummy -r 48000 -p 512 >>"$e2e_dir/jackd.log" 2>&1 &
    jackd_pid=$!
    e2e_pids+=($jackd_pid)
    e2e_poll has_port system:playback_1 || fail "jackd did not answer"
}
start_jackd
# A program of an earlier run that was left behind would join this server
# within half a second, under our name.
sleep 1
has_port trovik:out_1 && fail "another trovik plays into this server, left over from an earlier run"

# LinkHut reads single keys from a terminal: script gives it one, fed
# from a pipe that stays open.
mkfifo "$e2e_dir/keys"
script -qfc LinkHut /dev/null <"$e2e_dir/keys" >"$e2e_dir/linkhut.log" 2>&1 &
linkhut_script=$!
e2e_pids+=($linkhut_script)
# script leaves LinkHut running when it is killed; jack_transport (from step
# 5 on) is told to quit.
sync_cleanup() {
    trap '' PIPE  # jack_transport may have quit already
    { echo quit >&4; } 2>/dev/null || true
    pkill -x LinkHut -P "$linkhut_script" || true
    e2e_cleanup
}
trap sync_cleanup EXIT
exec 3>"$e2e_dir/keys"
key() { printf '%s' "$1" >&3; sleep 0.2; }
linkhut_says() { tail -c 300 "$e2e_dir/linkhut.log" | tr '\r' '\n' | grep -q "$1"; }
e2e_poll has_port LinkHut:out_1 || fail "LinkHut has no JACK port"
key a
key s

e2e_start_program "$program" . --link
peers() { grep -q "trovik: Link: $1 peer" "$e2e_dir/trovik.log"; }
e2e_poll peers 1 || fail "we never found LinkHut"
e2e_click_cells 115 $(seq 1 16)

ours_play() {
    local before
    before=$(e2e_region_signature 441 0 53 17)
    sleep 0.5
    e2e_region_differs "$before" 441 0 53 17
}
# Records $1 s of ports ${@:2} into $e2e_dir/rec.wav, on time. LinkHut
# places its clicks by a fit over its last 512 periods (5.5 s), which an xrun
# throws off until they have passed: a recording starts 6 s after the last.
no_xrun_for_6_s() {
    local before
    before=$(e2e_jack_xruns)
    sleep 6
    [ "$(e2e_jack_xruns)" = "$before" ]
}
rec() {
    e2e_poll no_xrun_for_6_s || return 1
    e2e_jack_record "$e2e_dir/rec.wav" "$@"
}
record() { e2e_jack_on_time rec "$@" || fail "no recording on time"; }
# Our hits on channel $1 of the recording, one frame a line, into $2.
hits_of() {
    python3 "$check" split "$e2e_dir/rec.wav" "$1" "$e2e_dir/channel.wav"
    "$onsets" "$e2e_dir/channel.wav" --reference "$reference" --frames |
        sed -n 's/^hit frames: //p' | tr ' ' '\n' >"$2"
}
on_grid() {
    hits_of 0 "$e2e_dir/ours.txt"
    python3 "$check" grid "$e2e_dir/rec.wav" 1 "$e2e_dir/ours.txt" "$tolerance" ||
        fail "$1: our steps are off LinkHut's grid"
}
silent() { python3 "$check" quiet "$e2e_dir/rec.wav" "$1"; }

echo "== 1: LinkHut's start starts ours"
ours_play && fail "we play in a stopped session"
key ' '
e2e_poll ours_play || fail "LinkHut's start did not start ours"
record "$seconds" trovik:out_1 LinkHut:out_1
on_grid "as started"

echo "== 2: LinkHut's tempo moves up 10 BPM"
# The session's tempo is the one of whichever peer's session the other joined.
raise_tempo_while_recording() {
    local status=0
    tempo=$(tail -c 300 "$e2e_dir/linkhut.log" | tr '\r' '\n' | awk -F'|' 'NF > 5 { t = $5 } END { printf "%.2f", t + 10 }')
    e2e_poll no_xrun_for_6_s || return 1
    e2e_jack_record "$e2e_dir/rec.wav" 8 trovik:out_1 LinkHut:out_1 &
    sleep 2
    for _ in $(seq 10); do key e; done
    wait $! || status=$?
    return "$status"
}
e2e_jack_on_time raise_tempo_while_recording || fail "no recording of the tempo change on time"
grep -q "tempo $tempo BPM" "$e2e_dir/trovik.log" || fail "no tempo $tempo told"
on_grid "at $tempo BPM"

echo "== 3: start and stop, both ways"
key ' '
e2e_poll eval '! ours_play' || fail "LinkHut's stop did not stop ours"
xdotool mousemove --window "$window" 224 12 click 1 # Play
e2e_poll linkhut_says "yes \[playing\]" || fail "our Play did not start LinkHut"
record 4 trovik:out_1 LinkHut:out_1
on_grid "started by us"
xdotool mousemove --window "$window" 272 12 click 1 # Stop
sleep 1
record 2 trovik:out_1 LinkHut:out_1
silent 1 || fail "our Stop did not stop LinkHut"

echo "== 4: two instances of ours"
first_window=$window
"$program" --link >>"$e2e_dir/second.log" 2>&1 &
second_pid=$!
e2e_pids+=($second_pid)
other_window() { xdotool search --onlyvisible --name "^Trovik beat maker\$" | grep -vx "$first_window" | grep .; }
e2e_poll other_window >/dev/null || fail "the second instance shows no window"
window=$(other_window)
e2e_poll grep -q "trovik: Link: 2 peers" "$e2e_dir/trovik.log" || fail "the instances never found each other"
e2e_click_cells 115 $(seq 1 16)
xdotool mousemove --window "$first_window" 224 12 click 1
e2e_poll has_port trovik-01:out_1 || fail "the second instance has no JACK port"
sleep 2
record "$seconds" trovik:out_1 trovik-01:out_1
hits_of 0 "$e2e_dir/first.txt"
hits_of 1 "$e2e_dir/second.txt"
python3 "$check" pair "$e2e_dir/first.txt" "$e2e_dir/second.txt" "$tolerance" ||
    fail "the two instances are apart"
echo "in a Link session: OK"

kill "$program_pid" "$second_pid"
e2e_poll e2e_gone "$second_pid" || fail "the second instance did not end"
# One jack_transport for the rest (a timebase master lives as long as its
# client), fed from a pipe that stays open.
mkfifo "$e2e_dir/commands"
jack_transport <"$e2e_dir/commands" >"$e2e_dir/transport.log" 2>&1 &
e2e_pids+=($!)
exec 4>"$e2e_dir/commands"
transport() { echo "$1" >&4; }
rolling() { [[ $(timeout -k 1 2 jack_showtime 2>/dev/null | head -n 1) == *"state: Rolling"* ]]; }
# Every hit of 6 s recorded, $1 frames after the one before.
expect_hits_every() {
    record 6 trovik:out_1
    hits_of 0 "$e2e_dir/ours.txt"
    awk -v step="$1" 'NR > 1 && $1 - last != step { bad = 1 } { last = $1 }
                      END { exit bad || NR < 288000 / step - 4 }' "$e2e_dir/ours.txt" ||
        fail "$2: the hits are not every $1 frames: $(tr '\n' ' ' <"$e2e_dir/ours.txt")"
}

echo "== 5: the JACK transport stands, then rolls"
e2e_start_program "$program" . --jack-transport
e2e_poll has_port trovik:out_1 || fail "no JACK port of ours"
e2e_click_cells 115 $(seq 1 16)
ours_play && fail "we play while the transport stands"
transport play
e2e_poll ours_play || fail "the transport rolls, and we do not play"
expect_hits_every 7200 "at the tempo control's 150 ms"

echo "== 6: relocated while rolling"
# Step 1 alone sounds once a bar (16 × 7200 frames). Located to frame 0, the
# transport is at step 1 again: it sounds at once, so no two hits lie more
# than a bar apart and one pair, across a relocation, less. (jack_transport
# as timebase master hangs in its process callback at a relocation while any
# other client plays: this runs before it is made master.)
e2e_click_cells 115 $(seq 2 16)
bar=115200
locate_while_recording() {
    local status=0
    e2e_jack_record "$e2e_dir/rec.wav" 6 trovik:out_1 &
    sleep 2
    transport "locate 0"
    sleep 1
    transport "locate 0"
    wait $! || status=$?
    return "$status"
}
e2e_jack_on_time locate_while_recording || fail "no recording of the relocations on time"
hits_of 0 "$e2e_dir/ours.txt"
awk -v bar="$bar" 'NR > 1 { gap = $1 - last; if (gap > bar) bad = 1; if (gap < bar - 256) short = 1 }
                   { last = $1 } END { exit bad || !short }' "$e2e_dir/ours.txt" ||
    fail "relocated to frame 0, step 1 did not sound at once: $(tr '\n' ' ' <"$e2e_dir/ours.txt")"
e2e_click_cells 115 $(seq 2 16)

echo "== 7: a timebase master at 140.625 BPM"
transport master
transport "tempo 140.625"
e2e_poll grep -q "trovik: JACK transport: tempo 140.62 BPM" "$e2e_dir/trovik.log" ||
    fail "the master's tempo was not told"
expect_hits_every 5120 "at the master's tempo"

echo "== 8: start and stop, both ways"
transport stop
e2e_poll eval '! ours_play' || fail "the transport stopped, and we play on"
xdotool mousemove --window "$window" 224 12 click 1 # Play
e2e_poll rolling || fail "our Play did not roll the transport"
xdotool mousemove --window "$window" 272 12 click 1 # Stop
e2e_poll eval '! rolling' || fail "our Stop did not stop the transport"
transport quit

echo "== 9: the server killed and started again"
kill -KILL "$jackd_pid"
e2e_poll e2e_gone "$jackd_pid" || fail "jackd outlived SIGKILL"
start_jackd
e2e_poll has_port trovik:out_1 || fail "our ports did not come back"
printf 'play\nquit\n' | jack_transport >>"$e2e_dir/transport.log" 2>&1
e2e_poll ours_play || fail "the transport of the new server rolls, and we do not play"
echo "on the JACK transport: OK"
