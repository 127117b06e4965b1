#!/usr/bin/env bash
# Measures the real program: start-up time, memory, CPU and the timing of
# its hits as they come out of a PulseAudio null sink.
#
# usage: tools/measure_timing.sh <build-dir> [seconds] [interval-ms...]
#   e.g. tools/measure_timing.sh build 20 150 50 20
# Environment: LOAD=1 runs two busy loops (one per core) while recording;
#              PATTERN=all switches on all 48 cells instead of the 16 bass cells;
#              KEEP=<folder> keeps the recordings there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
seconds=${2:-20}
shift 2 || true
intervals=("${@:-150}")
source "$here/../tests/e2e/session.sh"

program="$build/trovik"
onsets="$build/tools/onsets"
reference="$build/data/bass.wav"

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# Start-up: from fork to the window being mapped, five times.
measure_startup() {
    local times=() start end pid
    for _ in 1 2 3 4 5; do
        start=$(date +%s%N)
        "$program" >/dev/null 2>&1 &
        pid=$!
        e2e_wait_window "Trovik beat maker" >/dev/null
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000000 )))
        kill "$pid"; wait "$pid" 2>/dev/null || true
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "start-up ms: median %d (runs: ", a[3]; for (i=1;i<=NR;i++) printf "%d ", a[i]; print ")"}'
}

set_interval() {  # clicks the tempo control's arrows from 150 to the wanted interval
    local window=$1 wanted=$2 clicks y
    clicks=$(( 150 - wanted )); y=3
    if [ "$clicks" -lt 0 ]; then clicks=$(( -clicks )); y=21; fi
    [ "$clicks" -eq 0 ] && return 0
    xdotool mousemove --window "$window" 320 "$y" click --repeat "$clicks" --delay 4 1
}

switch_cells_on() {
    local window=$1 tops=(126) column top
    [ "${PATTERN:-bass}" = all ] && tops=(126 261 396)
    for top in "${tops[@]}"; do
        for column in $(seq 1 16); do
            xdotool mousemove --window "$window" $((122 + 29 * (column - 1) + 11)) "$top" click 1
        done
    done
}

e2e_start_x
e2e_start_pulse
measure_startup

for interval in "${intervals[@]}"; do
    "$program" >"$e2e_dir/trovik.log" 2>&1 &
    pid=$!
    window=$(e2e_wait_window "Trovik beat maker")
    sleep 0.5
    idle_before=$(cpu_ticks "$pid"); sleep 5; idle_after=$(cpu_ticks "$pid")
    switch_cells_on "$window"
    set_interval "$window" "$interval"
    sleep 1
    loaders=()
    if [ "${LOAD:-0}" = 1 ]; then
        for _ in 1 2; do (while :; do :; done) & loaders+=($!); done
    fi
    e2e_record "$e2e_dir/out-$interval.wav" &
    recorder=$!
    before=$(cpu_ticks "$pid"); started=$(date +%s%N)
    sleep "$seconds"
    after=$(cpu_ticks "$pid"); ended=$(date +%s%N)
    kill -INT "$recorder"; wait "$recorder" || true
    for l in "${loaders[@]}"; do kill "$l"; done
    hz=$(getconf CLK_TCK)
    echo "== interval $interval ms, ${seconds} s, load ${LOAD:-0}, pattern ${PATTERN:-bass}"
    awk -v b="$idle_before" -v a="$idle_after" -v hz="$hz" 'BEGIN {printf "cpu idle (empty pattern, 150 ms): %.2f %% of a core\n", 100 * (a - b) / hz / 5}'
    awk -v b="$before" -v a="$after" -v hz="$hz" -v s="$started" -v e="$ended" \
        'BEGIN {printf "cpu playing: %.2f %% of a core\n", 100 * (a - b) / hz / ((e - s) / 1e9)}'
    grep -E 'VmHWM' "/proc/$pid/status"
    "$onsets" "$e2e_dir/out-$interval.wav" --reference "$reference" --interval "$interval"
    [ -n "${KEEP:-}" ] && cp "$e2e_dir/out-$interval.wav" "$KEEP/"
    kill "$pid"; wait "$pid" 2>/dev/null || true
done
