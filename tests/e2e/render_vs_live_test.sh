#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: the worked example played live (`trovik beat.tbk` opens the
# window with it loaded and playing) and rendered at the sink's rate put
# their hits at the same frame offsets from the first bass hit.
#
# The recording starts anywhere in the beat, so the hits of one loop of the
# recording (16 steps of 7200 frames at 48 kHz, from a bass hit to the bass
# hit a loop later) are compared with those of the render, as offsets from
# the loop's first hit. No tolerance: the program opens the device at the
# sink's rate and parec records at it, so nothing resamples on the way, and
# the detector finds every hit on its exact frame (the bass by exact match
# of its first millisecond, the snare by correlation located to an eighth of
# a frame, rounded).
#
# A sound server that runs dry on a busy machine moves every later hit by
# the length of the gap, which is no fault of the program. So a loop with a
# gap in it does not count; one loop heard whole must match, and the
# recording is taken again, up to three times, when none was.
#
# usage: render_vs_live_test.sh <trovik-executable> <onsets-tool> <sample-folder>
here=$(cd "$(dirname "$0")" && pwd)
source "$here/render_lib.sh"
source "$here/../../scripts/session.sh"
onsets=$2
loop=$((16 * 7200))

# The hits of WAV file $1 as "frame:name" lines, in the order they fall.
hits_of() {
    local name frame
    for name in bass snare; do
        for frame in $("$onsets" "$1" --reference "$samples/$name.wav" --frames |
            sed -n 's/^hit frames: *//p'); do
            echo "$frame:$name"
        done
    done | sort -n
}

# The hits of the loop that starts at the bass hit on frame $2 of the hit
# list $1, as offsets from it, up to and with the next loop's first hit;
# nothing when the list ends before that.
loop_from() {
    local start=$2 hit frame
    for hit in $1; do
        frame=${hit%%:*}
        [ "$frame" -lt "$start" ] && continue
        echo "$((frame - start)):${hit#*:}"
        [ "$frame" -ge $((start + loop)) ] && return 0
    done | tr '\n' ' ' | grep -E " ${loop}:bass \$" || true
}

render_write_worked_example "$e2e_dir/beat.tbk"
(cd "$e2e_dir" && "$program" --render beat.tbk --output rendered.wav --loops 4 --rate 48000) ||
    fail "the render failed"
rendered_hits=$(hits_of "$e2e_dir/rendered.wav")
want=$(loop_from "$rendered_hits" 0)
[ -n "$want" ] || fail "no whole loop in the render: $rendered_hits"
echo "rendered loop: $want"

e2e_start_x
e2e_start_pulse 48000
e2e_start_program "$program" "$e2e_dir" beat.tbk
for attempt in 1 2 3; do
    # parec can leave out up to about 2 s at the start of a recording.
    e2e_record_for "$e2e_dir/live.wav" 10
    live_hits=$(hits_of "$e2e_dir/live.wav")
    heard=0
    for hit in $live_hits; do
        [ "${hit#*:}" = bass ] || continue
        got=$(loop_from "$live_hits" "${hit%%:*}")
        [ -n "$got" ] || continue
        heard=$((heard + 1))
        if [ "$got" = "$want" ]; then
            echo "live loop from frame ${hit%%:*}: $got"
            echo "render vs live: OK"
            exit 0
        fi
        echo "live loop from frame ${hit%%:*} differs: $got"
    done
    echo "recording $attempt: no loop heard as rendered among $heard whole ones" >&2
done
fail "no loop of the live beat fell as the render has it"
