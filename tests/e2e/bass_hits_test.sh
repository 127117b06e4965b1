#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: the real program in a real X server, with a real sound server.
# Switches all 16 bass cells on with the mouse, records what comes out and
# checks that a bass hit sounds on every step at the start-up interval.
# The sound stack is PulseAudio (the program's native stream, its choice
# when no JACK server answers), PulseAudio through SDL's pulseaudio driver,
# PipeWire (SDL's pipewire driver, recorded through PipeWire's PulseAudio
# protocol) or ALSA (SDL's alsa driver, through ALSA's pulse plug-in to
# PulseAudio).
#
# usage: bass_hits_test.sh <trovik-executable> <onsets-tool> <bass.wav> [seconds]
#                          [pulse|sdl-pulse|pipewire|alsa]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
onsets=$2
reference=$3
seconds=${4:-4}
stack=${5:-pulse}
source "$here/../../scripts/session.sh"

# The native stream and SDL's PulseAudio driver tell the program the sink's
# rate, and the program opens the device at it: the sink runs at 44.1 kHz
# to show that.
# SDL's PipeWire and ALSA drivers tell no rate, so the program opens at
# 48 kHz, the rate a Debian desktop's PipeWire runs at: there the sink runs
# at 48 kHz too, so that no server resamples the hits and each is found on
# its exact frame.
e2e_start_x
case "$stack" in
    pulse) e2e_start_pulse 44100 ;;
    sdl-pulse) e2e_start_pulse 44100 && export TROVIK_AUDIO=sdl ;;
    pipewire) e2e_start_pipewire 48000 && export TROVIK_AUDIO=sdl ;;
    alsa) e2e_start_pulse 48000 && e2e_use_alsa && export TROVIK_AUDIO=sdl ;;
    *) echo "unknown sound stack '$stack'" >&2; exit 2 ;;
esac
e2e_start_program "$program"
e2e_click_cells 115 $(seq 1 16)
import -window "$window" "$e2e_dir/window.png" 2>/dev/null || true

# parec can leave out up to about 2 s at the start of a recording from a
# sink that has just started: record longer, and count on what it kept.
e2e_record_for "$e2e_dir/out.wav" $((seconds + 2))

report=$("$onsets" "$e2e_dir/out.wav" --reference "$reference" --interval 150)
echo "$report"
[ -n "${TROVIK_E2E_KEEP:-}" ] && cp "$e2e_dir/out.wav" "$e2e_dir/window.png" "$TROVIK_E2E_KEEP/"
fail() {
    echo "$1" >&2
    e2e_show_logs
    exit 1
}
hits=$(sed -n 's/^hits: //p' <<<"$report")
median=$(sed -n 's/^intervals ms: .*median \([0-9.]*\).*/\1/p' <<<"$report")
recorded=$(sed -n 's/^recording: \([0-9]*\)\..*/\1/p' <<<"$report")
if [ "${recorded:-0}" -lt "$seconds" ]; then
    fail "the recording kept only ${recorded:-0} s, wanted $seconds s"
fi
if ! grep -q "hits by exact match" <<<"$report"; then
    fail "the hits were not found frame by frame: the program's rate is not the sink's"
fi
expected=$(( recorded * 1000 / 150 ))
if [ "${hits:-0}" -lt $(( expected * 8 / 10 )) ]; then
    fail "only ${hits:-0} bass hits in ${recorded} s, expected about $expected"
fi
if ! awk -v m="$median" 'BEGIN { exit !(m > 148 && m < 152) }'; then
    fail "median interval $median ms, expected 150"
fi
echo "bass hits through $stack: OK"
