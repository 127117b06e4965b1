#!/usr/bin/env bash
# End to end: the worked example played live (`trovik beat.tbk` opens the
# window with it loaded and playing) and rendered at the sink's rate put
# their hits at the same frame offsets from the first bass hit.
#
# The recording starts anywhere in the beat, so only offsets from its first
# bass hit count, taken modulo one loop (16 steps of 7200 frames at 48 kHz).
# No tolerance: the program opens the device at the sink's rate and parec
# records at it, so nothing resamples on the way, and the detector finds
# every hit on its exact frame (the bass by exact match of its first
# millisecond, the snare by correlation located to an eighth of a frame,
# rounded). A dropout in the sound server would move every later hit; the
# session plays through a large buffer to keep them away.
#
# usage: render_vs_live_test.sh <trovik-executable> <onsets-tool> <sample-folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
onsets=$2
samples=$3
source "$here/session.sh"
source "$here/render_lib.sh"
loop=$((16 * 7200))
fail() {
    echo "FAIL: $1" >&2
    e2e_show_logs
    exit 1
}

# Offsets of the hits of $2 (frames) from $1, modulo one loop, sorted, unique.
offsets() {
    local first=$1 frame
    for frame in $2; do echo $(((frame - first) % loop)); done | sort -n -u | tr '\n' ' '
}

render_write_worked_example "$e2e_dir/beat.tbk"
e2e_start_x
e2e_start_pulse 48000
(cd "$e2e_dir" && exec "$program" beat.tbk) >>"$e2e_dir/trovik.log" 2>&1 &
program_pid=$!
e2e_pids+=("$program_pid")
window=$(e2e_wait_window "Trovik beat maker")
# parec can leave out up to about 2 s at the start of a recording.
e2e_record_for "$e2e_dir/live.wav" 8

(cd "$e2e_dir" && "$program" --render beat.tbk --output rendered.wav --loops 4 --rate 48000) ||
    fail "the render failed"

declare -A found
for source in live rendered; do
    bass=$(render_hit_frames "$onsets" "$e2e_dir/$source.wav" "$samples/bass.wav")
    snare=$(render_hit_frames "$onsets" "$e2e_dir/$source.wav" "$samples/snare.wav")
    [ "$(wc -w <<<"$bass")" -ge 4 ] && [ "$(wc -w <<<"$snare")" -ge 4 ] ||
        fail "too few hits in the $source sound: bass '$bass', snare '$snare'"
    first=${bass%% *}
    # A snare heard before the first bass hit counts from one loop earlier.
    snare=$(for frame in $snare; do echo $((frame + loop)); done)
    found[$source]="bass $(offsets "$first" "$bass")snare $(offsets "$first" "$snare")"
    echo "$source: ${found[$source]}"
done
[ "${found[live]}" = "${found[rendered]}" ] ||
    fail "live hits at offsets '${found[live]}', rendered at '${found[rendered]}'"
echo "render vs live: OK"
