#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures the real program: start-up time, memory, CPU and the timing of
# its hits as they come out of a null sink of a real sound server.
#
# usage: tools/measure/measure_timing.sh <build-dir> [seconds] [interval-ms...]
#   e.g. tools/measure/measure_timing.sh build 60 150 50 20
# seconds is the measured span of each recording (60 unless given); the
# recorder starts 2 s before it, and the hits of those 2 s are left out.
# Environment:
#   RATE=48000|44100   the null sink's rate (48000 unless set)
#   STACK=pulse|sdl-pulse|pipewire|alsa|jack  the sound server and the way to
#                      it: the program's native stream to PulseAudio (pulse,
#                      the default), SDL's pulseaudio, pipewire or alsa driver,
#                      or a JACK server of its own (dummy backend, PERIOD
#                      frames, 256 unless set, real-time priority 70;
#                      recorded from our ports, no held latency: JACK's is
#                      its period) or pulse-jack: the native stream to
#                      PulseAudio whose sink is a client of a JACK server of
#                      its own (module-jack-sink), recorded from that sink's
#                      JACK ports, on JACK's frames, which run on while
#                      PulseAudio is away (see KILL_AT). Under JACK the
#                      recorder is tools/measure/jack_place_rec: every period
#                      at its frame on JACK's counter, the periods the server
#                      skipped (an xrun) silent and listed before the hits
#                      (the second recorder is jack_rec, which leaves them
#                      out). Where PulseAudio's sink ran late (jackd.log:
#                      "pulse-sink was not finished"), JACK's frames went on
#                      without it: the placed recording has a gap there and
#                      the later hits late by it; jack_rec, which follows
#                      the sink's own stream, has neither
#   KILL_AT=20         with pulse-jack: PulseAudio is killed (SIGKILL) that
#                      many seconds into each measured span and started again
#                      at once; the recorders are connected to its sink again
#   STOP_AT=10         the program is stopped (SIGSTOP) that many seconds into
#                      each measured span for STOP_MS milliseconds (60 unless
#                      set) and continued: its stream runs dry for about as
#                      long, and the hits after it should be on the grid again
#   TROVIK_AUDIO       passed on (jack|pulse|sdl); the stack sets it otherwise
#   LOAD=1             two busy loops (one per core) while recording
#   PATTERN=all        all 48 cells on instead of the 16 bass cells
#   RECORDERS=2        a second recorder, started 1 s after the first, over the same span
#   BIG_FOLDER=1       the program starts in a folder whose first subfolder
#                      holds 200,000 files, and opens it in the directory list
#                      2 s into each recording
#   KEEP=<folder>      keeps the recordings there
#   IDLE_SECONDS=10    the span of the idle and floor CPU measurements
#   TROVIK_BUFFER_FRAMES  passed on to the program and the floor alike
# Besides the program's idle CPU (the empty pattern playing), it measures
# the floor: tools/measure/silence_floor, the program's own output path at
# the same buffer playing silence, alone on the same sink right after the
# program's CPU measurements and over the same span, and gives the ratio
# program / floor.
# For each recording it gives the hits' timing from onsets (each against the
# one before), the dropouts per minute, and each hit's distance from the
# grid: the set interval laid on all hits at their median phase, with the
# steps that have no hit or two. A hit right after a dropout that is late by
# at most the dropout, and the steps that fell inside dropouts, are counted
# apart; after each dropout of 10 ms or more (PulseAudio away) it gives how
# far the grid of the hits after it lies from that of the hits before.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
seconds=${2:-60}
shift 2 || shift $#
intervals=("${@:-150}")
rate=${RATE:-48000}
stack=${STACK:-pulse}
# Set, even empty, so that the end-to-end session keeps the program's default.
export TROVIK_BUFFER_FRAMES=${TROVIK_BUFFER_FRAMES-}
source "$here/../../scripts/session.sh"

program="$build/trovik"
floor="$build/tools/measure/silence_floor"
place_rec="$build/tools/measure/jack_place_rec"
idle_seconds=${IDLE_SECONDS:-10}
onsets="$build/tools/measure/onsets"
reference="$build/data/bass.wav"
hz=$(getconf CLK_TCK)
window_title="Trovik beat maker"

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# CPU of a process over a span, as a share of one core: utime + stime.
cpu_over() {
    local pid=$1 span=$2 before after
    before=$(cpu_ticks "$pid")
    sleep "$span"  # the span measured
    after=$(cpu_ticks "$pid")
    awk -v b="$before" -v a="$after" -v hz="$hz" -v s="$span" 'BEGIN {printf "%.2f", 100 * (a - b) / hz / s}'
}

# Start-up: from fork to the window being mapped, five times.
measure_startup() {
    local times=() start end pid
    for _ in 1 2 3 4 5; do
        start=$(date +%s%N)
        "$program" >/dev/null 2>&1 &
        pid=$!
        e2e_wait_window "$window_title" >/dev/null
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "start-up ms: median %d (runs: ", a[3]; for (i=1;i<=NR;i++) printf "%d ", a[i]; print ")"}'
}

# Clicks the tempo control's arrows (VScroll1 at 296, 0, 49 x 25: the top
# arrow shortens the interval by 1 ms, the bottom one lengthens it) from
# 150 ms to the wanted interval.
set_interval() {
    local window=$1 wanted=$2 clicks y
    clicks=$((150 - wanted))
    y=3
    if [ "$clicks" -lt 0 ]; then clicks=$((-clicks)); y=21; fi
    [ "$clicks" -eq 0 ] && return 0
    xdotool mousemove --window "$window" 320 "$y" click --repeat "$clicks" --delay 4 1
}

# Cell tops: bass 115, snare 250, effect 385. Returns once the window has
# taken every click, the tempo's before them too.
switch_cells_on() {
    local pattern=$1 tops=(115) top
    [ "$pattern" = all ] && tops=(115 250 385)
    for top in "${tops[@]}"; do e2e_click_cells "$top" $(seq 1 16); done
}

# With BIG_FOLDER=1: a folder of 200,000 files (in memory where there is a
# tmpfs) and four more, so that the current folder scrolls to the top row of
# the directory list and the big one sits right below it.
start_folder=$PWD
if [ "${BIG_FOLDER:-0}" = 1 ]; then
    if [ -d /dev/shm ] && [ -w /dev/shm ]; then start_folder=$(mktemp -d -p /dev/shm trovik-measure.XXXXXX); else start_folder=$(mktemp -d); fi
    trap 'rm -rf "$start_folder"; e2e_cleanup' EXIT
    mkdir -p "$start_folder/a_big" "$start_folder/b" "$start_folder/c" "$start_folder/d" "$start_folder/e"
    (cd "$start_folder/a_big" && seq -f 'hit%06g.wav' 1 200000 | xargs touch)
fi
# Dir1's second row (300, 324): the big folder.
open_big_folder() { xdotool mousemove --window "$window" 300 324 click --repeat 2 --delay 80 1; }

start_program() {
    (cd "$start_folder" && exec "$program") >>"$e2e_dir/trovik.log" 2>&1 &
    pid=$!
    window=$(e2e_wait_window "$window_title")
    settle "$pid"
}

stop_program() {
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

# The floor starts once the program's stream has left the sink, and is
# measured once it is past its start-up work, as the program is.
sink_is_idle() {
    if [ "$stack" = jack ]; then ! jack_lsp 2>/dev/null | grep -q '^trovik:'; else ! e2e_sink_has_input; fi
}
measure_floor() {
    local floor_pid cpu
    e2e_poll sink_is_idle || { echo "the program's stream never left the sink" >&2; return 1; }
    "$floor" >/dev/null 2>>"$e2e_dir/silence_floor.log" &
    floor_pid=$!
    settle "$floor_pid" || { kill "$floor_pid"; return 1; }
    cpu=$(cpu_over "$floor_pid" "$idle_seconds")
    kill "$floor_pid"
    wait "$floor_pid" || true
    echo "$cpu"
}

# Until process $1 plays (its stream on the sink, or its ports on the JACK
# server) and is past its start-up work.
jack_answers() { jack_lsp >/dev/null 2>&1; }
our_ports() { jack_lsp 2>/dev/null | grep -q '^trovik:out_2$'; }
settle() {
    [ "$stack" = jack ] || { e2e_wait_settled "$1"; return; }
    e2e_poll our_ports || { echo "no trovik ports on the JACK server in 30 s" >&2; return 1; }
    e2e_quiet_ticks=-1
    e2e_poll e2e_is_quiet "$1" || { echo "process $1 still busy after 30 s" >&2; return 1; }
}

# Records the output into $1 at rate $2, until SIGINT; under JACK, our two
# ports (or PulseAudio's sink's) for $3 seconds, and the recorder ends by
# itself: recorder $4 = 1 with jack_place_rec, which keeps every period on
# JACK's frames and lists the periods the server skipped in $1.log, recorder
# 2 with jack_rec, which leaves them out.
# The lines of jackd's log that tell an xrun (of client $1 if given).
jack_xruns() { if [ -f "$e2e_dir/jackd.log" ]; then grep -c "XRun${1:+.*$1}" "$e2e_dir/jackd.log" || true; else echo 0; fi; }
records_jack() { [ "$stack" = jack ] || [ "$stack" = pulse-jack ]; }
jack_sources() { if [ "$stack" = jack ]; then echo trovik:out_1 trovik:out_2; else echo pulse-sink:front-left pulse-sink:front-right; fi; }
record() {
    if ! records_jack; then
        e2e_record "$1" "$2"
    elif [ "$4" = 1 ]; then
        exec "$place_rec" -f "$1" -d "$3" -n placerec $(jack_sources) >"$1.log" 2>&1
    else
        exec jack_rec -f "$1" -d "$3" -b 16 $(jack_sources) >/dev/null
    fi
}
# Stops recorder $1 (of file $2); a failed JACK recorder goes into
# recorder_ends.
stop_recorder() {
    local status=0
    if records_jack; then wait "$1" || status=$?; else kill -INT "$1"; wait "$1" || true; fi
    [ "$status" = 0 ] || recorder_ends+="the recorder of $2 ended with status $status"$'\n'
}

# Kills PulseAudio $1 s from now, starts it again and connects the
# recorders to its sink's new ports.
sink_ports_gone() { ! jack_lsp 2>/dev/null | grep -q '^pulse-sink:'; }
sink_ports_back() { jack_lsp 2>/dev/null | grep -q '^pulse-sink:front-right$'; }
connect_recorders() {
    jack_connect pulse-sink:front-left placerec:in_1 && jack_connect pulse-sink:front-right placerec:in_2 || return 1
    [ "${RECORDERS:-1}" = 2 ] || return 0
    jack_connect pulse-sink:front-left jackrec:input1 && jack_connect pulse-sink:front-right jackrec:input2
}
restart_pulse_in() {
    sleep "$1"
    e2e_stop_pulse && e2e_poll sink_ports_gone && e2e_pulse_daemon && e2e_poll sink_ports_back && connect_recorders ||
        { echo "PulseAudio did not come back" >&2; return 1; }
    echo "PulseAudio killed $1 s into the span and started again; the recorders connected to its sink again"
}
# A program that stands still (stopped, swapped out) lets its stream run dry.
stop_program_for() {
    sleep "$1"
    kill -STOP "$pid" && sleep "$(awk -v ms="$2" 'BEGIN {print ms / 1000}')" && kill -CONT "$pid"
    echo "the program stopped for $2 ms $1 s into the span"
}
# Whether the server shows what it holds of a stream.
shows_held() { [ "$stack" != alsa ] && [ "$stack" != jack ]; }

# The most "Buffer Latency" the server shows for the program's stream over
# 20 looks: what it holds of ours, from a step's frame to the sink.
buffer_latency_ms() {
    local most=0 look
    for _ in $(seq 20); do
        look=$(pactl list sink-inputs 2>/dev/null | awk '/Buffer Latency:/ {print $3 / 1000; exit}')
        most=$(awk -v a="$most" -v b="${look:-0}" 'BEGIN {print (b > a) ? b : a}')
        sleep 0.1  # the looks spread over 2 s
    done
    echo "$most"
}

# Each hit's distance from the grid, from onsets' report with --frames ($1)
# at interval $2 ms and rate $3: the grid is the interval laid on all hits at
# their median phase, each hit on its nearest step. A hit right after a
# dropout (a run of digital silence) that is late by at most the dropout
# for a step due inside it is counted apart, as are the steps that fell in
# a dropout and have no hit; for each dropout of 10 ms or more, how far the
# grid of the hits after it lies from that of the hits before it.
grid_distances() {
    python3 -c '
import sys
from math import floor
report = dict(line.rstrip("\n").split(": ", 1) for line in sys.stdin if ": " in line)
frames = [float(f) for f in report.get("hit frames", "").split()]
if len(frames) < 2: sys.exit("distance from the grid: too few hits")
holes = [tuple(int(x) for x in h.split("+")) for h in report.get("dropout frames", "").split()]
ms, rate = float(sys.argv[1]), float(sys.argv[2])
period, tolerance, to_ms = ms * rate / 1000, 0.25 * rate / 1000, 1000 / rate
rests = [f - round((f - frames[0]) / period) * period for f in frames]
phase = sorted(rests)[len(rests) // 2]
def dropout_before(i):
    low = frames[i - 1] if i > 0 else float("-inf")
    return max(((a, l) for a, l in holes if low < a < frames[i]), key=lambda h: h[1], default=None)
def in_dropout(x):
    return any(a - tolerance <= x <= a + l + tolerance for a, l in holes)
steps, far, late = [], [], []
for i, f in enumerate(frames):
    n = round((f - phase) / period)
    hole = dropout_before(i)
    if abs(f - phase - n * period) > tolerance and hole:
        a, l = hole
        due = [k for k in range(floor((a - tolerance - phase) / period), n + 2)
               if a - tolerance <= phase + k * period <= a + l + tolerance and 0 < f - phase - k * period <= l + tolerance]
        if due:
            steps.append(max(due))
            late.append((f - phase - max(due) * period) * to_ms)
            continue
    steps.append(n)
    far.append((abs(f - phase - n * period) * to_ms, f / rate))
far.sort()
d = [x for x, _ in far]
lost = [k for a, b in zip(steps, steps[1:]) for k in range(a + 1, b)]
lost_inside = sum(1 for k in lost if in_dropout(phase + k * period))
doubled = sum(1 for a, b in zip(steps, steps[1:]) if b <= a)
print("distance from the grid ms: median %.3f p99 %.3f max %.3f (at %.3f s); %d hits over 0.25 ms; "
      "%d steps lost, %d doubled" % (d[len(d) // 2], d[min(len(d) - 1, round(len(d) * 0.99))],
      far[-1][0], far[-1][1], sum(1 for x in d if x > 0.25), len(lost) - lost_inside, doubled))
if holes:
    longest = max(holes, key=lambda h: h[1])
    print("dropouts: %d, the longest %.1f ms at %.3f s; %d steps lost inside them; %d hits right after one, "
          "late by at most it (most %.3f ms)" % (len(holes), longest[1] * to_ms, longest[0] / rate, lost_inside,
          len(late), max(late, default=0)))
long_holes = [h for h in holes if h[1] * to_ms >= 10]
bounds = [float("-inf")] + [a for a, _ in long_holes] + [float("inf")]
def median_rest(low, high):
    r = sorted(f - n * period for f, n in zip(frames, steps) if low < f < high)
    return r[len(r) // 2] if r else None
for j, (a, l) in enumerate(long_holes):
    before, after = median_rest(bounds[j], a), median_rest(a, bounds[j + 2])
    if before is None or after is None: continue
    print("after the dropout at %.3f s (%.1f ms): the grid of the hits after it %+.3f ms from that of the hits before it"
          % (a / rate, l * to_ms, (after - before) * to_ms))
' "$2" "$3" <<<"$1"
}

# The dropouts onsets counted in report $1, per minute of $2 s.
dropouts_per_minute() {
    sed -n 's/^dropouts: //p' <<<"$1" | awk -v s="$2" '{printf "dropouts per minute: %.1f (%d in %d s)\n", $1 * 60 / s, $1, s}'
}

# program / floor, or why there is none: a tick is 1/CLK_TCK s of CPU.
ratio() {
    awk -v p="$1" -v f="$2" -v hz="$hz" -v s="$idle_seconds" 'BEGIN {
        if (f > 0) printf "%.1f", p / f
        else printf "none: the floor used less than one tick (%.2f %% of a core) over %d s", 100 / hz / s, s }'
}

start_jackd() {
    export JACK_NO_AUDIO_RESERVATION=1
    jackd -n "$JACK_DEFAULT_SERVER" -R -P 70 -d dummy -r "$rate" -p "${PERIOD:-256}" >"$e2e_dir/jackd.log" 2>&1 &
    e2e_pids+=($!)
    # jackd says why it did not start: "Too many servers already active" when
    # the machine's JACK registry is full of servers that were killed.
    e2e_poll jack_answers || { echo "jackd did not answer in 30 s: $(tail -n 2 "$e2e_dir/jackd.log")" >&2; exit 1; }
}

e2e_start_x
case "$stack" in
    pulse) e2e_start_pulse "$rate" ;;
    sdl-pulse) e2e_start_pulse "$rate" && export TROVIK_AUDIO=${TROVIK_AUDIO:-sdl} ;;
    pipewire) e2e_start_pipewire "$rate" && export TROVIK_AUDIO=${TROVIK_AUDIO:-sdl} ;;
    alsa) e2e_start_pulse "$rate" && e2e_use_alsa && export TROVIK_AUDIO=${TROVIK_AUDIO:-sdl} ;;
    jack)
        e2e_sound_home
        export TROVIK_AUDIO=${TROVIK_AUDIO:-jack}
        start_jackd
        ;;
    pulse-jack)
        e2e_prepare_pulse "$rate"
        export TROVIK_AUDIO=${TROVIK_AUDIO:-pulse}
        start_jackd
        e2e_pulse_sink="module-jack-sink sink_name=nullsink client_name=pulse-sink connect=no"
        e2e_pulse_daemon || { echo "PulseAudio did not start" >&2; exit 1; }
        ;;
    *) echo "unknown sound stack '$stack'" >&2; exit 2 ;;
esac
echo "== sink $rate Hz, stack $stack (TROVIK_AUDIO=${TROVIK_AUDIO:-unset}, TROVIK_BUFFER_FRAMES=${TROVIK_BUFFER_FRAMES:-unset}), load ${LOAD:-0}, pattern ${PATTERN:-bass}, big folder ${BIG_FOLDER:-0}, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
measure_startup

# CPU at the two corners: the empty pattern at 150 ms, all 48 cells at 20 ms.
start_program
idle=$(cpu_over "$pid" "$idle_seconds")
echo "cpu, empty pattern at 150 ms, $idle_seconds s: $idle % of a core"
shows_held && echo "buffer latency of the program's stream, most of 20 looks over 2 s: $(buffer_latency_ms) ms"
set_interval "$window" 20
switch_cells_on all
echo "cpu, all 48 cells at 20 ms, 10 s: $(cpu_over "$pid" 10) % of a core"
grep -E 'VmRSS|VmHWM' "/proc/$pid/status" | tr -s ' \t' ' '
stop_program
floor_cpu=$(measure_floor)
echo "cpu, floor (silence_floor alone on the same sink, right after the program), $idle_seconds s: $floor_cpu % of a core"
grep -h '^silence_floor: [0-9]' "$e2e_dir/silence_floor.log" | tail -n 1
echo "cpu, idle program / floor: $(ratio "$idle" "$floor_cpu")"

for interval in "${intervals[@]}"; do
    start_program
    set_interval "$window" "$interval"
    switch_cells_on "${PATTERN:-bass}"
    loaders=()
    if [ "${LOAD:-0}" = 1 ]; then
        for _ in 1 2; do
            (while :; do :; done) &
            loaders+=($!)
        done
    fi
    recordings=("$e2e_dir/out-$interval.wav") recorders=()
    xruns_before=$(jack_xruns) xruns_before_sink=$(jack_xruns 'pulse-sink was not finished')
    record "${recordings[0]}" "$rate" $((seconds + 5)) 1 &
    recorders+=($!)
    if [ "${RECORDERS:-1}" = 2 ]; then
        sleep 1  # the second recorder starts a second after the first
        recordings+=("$e2e_dir/out-$interval-2.wav")
        record "${recordings[1]}" "$rate" $((seconds + 4)) 2 &
        recorders+=($!)
    fi
    for recording in "${recordings[@]}"; do
        e2e_poll e2e_recording_started "$recording" || { echo "parec recorded nothing into $recording" >&2; exit 1; }
    done
    sleep 2  # the lead whose hits are left out (--from)
    if [ "${BIG_FOLDER:-0}" = 1 ]; then
        sleep 2
        open_big_folder
    fi
    restarter=
    if [ -n "${KILL_AT:-}" ]; then
        restart_pulse_in "$KILL_AT" &
        restarter=$!
    fi
    stopper=
    if [ -n "${STOP_AT:-}" ]; then
        stop_program_for "$STOP_AT" "${STOP_MS:-60}" &
        stopper=$!
    fi
    cpu=$(cpu_over "$pid" "$seconds")
    [ -z "$restarter" ] || wait "$restarter" || true
    [ -z "$stopper" ] || wait "$stopper" || true
    shows_held && held=$(buffer_latency_ms)
    recorder_ends=
    for i in "${!recorders[@]}"; do stop_recorder "${recorders[$i]}" "${recordings[$i]##*/}"; done
    for l in "${loaders[@]}"; do kill "$l"; done
    echo "== interval $interval ms, ${seconds} s measured, load average $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "cpu playing: $cpu % of a core"
    shows_held && echo "buffer latency after the recording, most of 20 looks over 2 s: $held ms"
    grep -h 'buffer grows' "$e2e_dir/trovik.log" | sort | uniq -c || true
    printf '%s' "$recorder_ends"
    if records_jack; then
        echo "jackd's xruns during the recording: $(($(jack_xruns) - xruns_before)), of them $(($(jack_xruns 'pulse-sink was not finished') - xruns_before_sink)) of PulseAudio's sink"
    fi
    report_hits() {
        local report
        [ ! -f "$1.log" ] || sed 's/^/jack_place_rec: /' "$1.log"
        report=$("$onsets" "$1" --reference "$reference" --interval "$interval" --from "$2" --frames)
        grep -v -e '^hit frames' -e '^dropout frames' <<<"$report"
        dropouts_per_minute "$report" "$seconds"
        grid_distances "$report" "$interval" "$rate"
    }
    if [ "${RECORDERS:-1}" = 2 ]; then
        echo "-- recorder 1"
        report_hits "$e2e_dir/out-$interval.wav" 3
        echo "-- recorder 2 (started 1 s after recorder 1: its times are 1 s earlier)"
        report_hits "$e2e_dir/out-$interval-2.wav" 2
    else
        report_hits "$e2e_dir/out-$interval.wav" 2
    fi
    if [ -n "${KEEP:-}" ]; then
        cp "$e2e_dir"/out-"$interval"*.wav "$e2e_dir"/trovik.log "$KEEP/"
        if records_jack; then cp "$e2e_dir/out-$interval.wav.log" "$e2e_dir/jackd.log" "$KEEP/"; fi
    fi
    stop_program
done
