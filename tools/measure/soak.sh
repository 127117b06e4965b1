#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak run: the real program built with sanitizers (AddressSanitizer and
# UndefinedBehaviorSanitizer, or ThreadSanitizer), worked at random with the
# mouse and keyboard under Xvfb for a long time while it plays through a
# private sound server. Actions: cell and track switch clicks, tempo changes
# between 1 and 999 ms, Play and Stop, effect file picks (good, odd and
# broken WAV files, a 5-minute one), folders opened in the directory list
# (one of them holds 200,000 files), Save and Load. A program that dies is
# started again and counted. At the end it reports crashes, sanitizer
# reports, core dumps, the prompts and messages answered in each minute (a
# window that stopped answering shows as minutes without one) and whether
# sound was heard, and exits non-zero if anything went wrong. Not part of
# ./test.sh. Two runs may go at the same time (each has its own display,
# runtime folder and servers; they take turns to build).
#
# With PulseAudio a null sink records the whole run, and sound counts as
# heard in a minute whose loudest sample is above 0.05. With JACK (a server
# of the run's own, dummy backend, 48 kHz, 256 frames) our port out_1 is
# recorded for 5 s each minute and after each server kill: the server is
# killed with SIGKILL and started again (twice unless SOAK_JACK_KILLS says),
# and each kill counts as survived once our ports are connected again and a
# later recording is heard.
#
# usage: tools/measure/soak.sh [minutes] [build-dir]
#              (30; build-soak, or build-soak-tsan for ThreadSanitizer)
# Environment: SOAK_SEED=<n> repeats a run's random choices;
#              SOAK_OUT=<folder> keeps the logs, cores and recordings there
#              (a fresh folder under /tmp unless set);
#              SOAK_STACK=pulse|jack the sound server (pulse);
#              SOAK_SANITIZER=address|thread (address: ASan and UBSan;
#              thread: TSan, reports written and the run going on; reports
#              of the libraries' own hand-overs dropped by
#              tools/measure/tsan.supp, and races with both accesses inside
#              the libraries set apart, not counted);
#              SOAK_CXX=<compiler> (clang++; clang++-16 has a newer TSan).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
minutes=${1:-30}
stack=${SOAK_STACK:-pulse}
sanitizer=${SOAK_SANITIZER:-address}
case "$sanitizer" in
    address)
        flags="-fsanitize=address,undefined -fno-sanitize-recover=all"
        build=${2:-$root/build-soak} ;;
    thread)
        flags="-fsanitize=thread"
        build=${2:-$root/build-soak-tsan} ;;
    *) echo "SOAK_SANITIZER must be address or thread" >&2; exit 2 ;;
esac
build=$(realpath -m "$build")  # the program starts in another folder
case "$stack" in pulse | jack) ;; *) echo "SOAK_STACK must be pulse or jack" >&2; exit 2 ;; esac
seed=${SOAK_SEED:-$$}
out=${SOAK_OUT:-$(mktemp -d -t trovik-soak.XXXXXX)}
mkdir -p "$out/sanitizer" "$out/work"
out=$(cd "$out" && pwd)
RANDOM=$seed

echo "soak: $minutes min, $sanitizer sanitizer, $stack, seed $seed, output in $out"
# Two runs started at the same moment share the build folder: one configures
# and builds while the other waits (two configures at once break each other).
mkdir -p "$build"
(
    flock 9
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER="${SOAK_CXX:-clang++}" \
        -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" \
        -DCMAKE_CXX_FLAGS="$flags -fno-omit-frame-pointer" -DCMAKE_EXE_LINKER_FLAGS="${flags%% *}" >/dev/null
    cmake --build "$build" -j"$(nproc)" --target trovik drum_samples
) 9>"$build/soak.lock"
program="$build/trovik"

source "$root/scripts/session.sh"

# Core dumps: unlimited size, into the folder the program runs in ($out/work)
# where the system lets us say so. The pattern names no folder of its own,
# so that runs at the same time share it: the one that set it first puts
# the old one back.
ulimit -c unlimited
core_pattern_file=/proc/sys/kernel/core_pattern
core_pattern=core.%e.%p
old_core_pattern=$(cat "$core_pattern_file")
cores_where="by the system's pattern: $old_core_pattern"
if [ -w "$core_pattern_file" ] && echo "$core_pattern" 2>/dev/null >"$core_pattern_file"; then
    cores_where="in $out/work"
    restore_core_pattern() {
        [ "$old_core_pattern" = "$core_pattern" ] || echo "$old_core_pattern" >"$core_pattern_file"
    }
else
    restore_core_pattern() { :; }
fi
trap 'restore_core_pattern; e2e_cleanup' EXIT
if [ "$sanitizer" = address ]; then
    # ASan keeps its shadow memory out of cores, so a core stays small.
    export ASAN_OPTIONS="log_path=$out/sanitizer/asan:disable_coredump=0:abort_on_error=1:detect_leaks=0"
    export UBSAN_OPTIONS="log_path=$out/sanitizer/ubsan:print_stacktrace=1:abort_on_error=1"
else
    # A race is written down and the run goes on; what libraries built
    # without TSan do unseen is suppressed.
    export TSAN_OPTIONS="log_path=$out/sanitizer/tsan:halt_on_error=0:second_deadlock_stack=1:suppressions=$root/tools/measure/tsan.supp"
fi

# The effect samples to pick from: usual and unusual formats, a long one, an
# empty one and one that is not a WAV file at all.
samples="$out/work"
sox -n -r 44100 -b 16 -c 1 "$samples/a_tone.wav" synth 0.2 sine 660 vol 0.5
sox -n -r 48000 -b 16 -c 2 "$samples/b_stereo48.wav" synth 0.3 square 220 vol 0.3
sox -n -r 22050 -b 8 -c 1 "$samples/c_8bit22.wav" synth 0.25 sawtooth 330 vol 0.4
sox -n -r 96000 -b 24 -c 2 "$samples/d_hires.wav" synth 0.15 pluck 440
sox -n -r 44100 -b 16 -c 2 "$samples/e_long.wav" synth 12 pinknoise vol 0.2
: >"$samples/f_empty.wav"
head -c 5000 /dev/urandom >"$samples/g_noise.wav"
sox -n -r 44100 -b 16 -c 1 "$samples/h_short.wav" synth 0.001 sine 1000
sox -n -r 44100 -b 16 -c 2 "$samples/i_five_minutes.wav" synth 300 sine 110:880 vol 0.3
# A folder of 200,000 files, listed while the beat plays, and one to go on to.
mkdir -p "$samples/a_big" "$samples/b_small"
(cd "$samples/a_big" && seq -f 'hit%06g.wav' 1 200000 | xargs touch)
cp "$samples/a_tone.wav" "$samples/b_small/"

log="$out/actions.log"
note() { echo "$(date +%T.%N | cut -c1-12) $*" >>"$log"; }

# The loudest sample of a WAV file (sox trim arguments may follow), and
# whether it counts as sound.
peak_of() { sox "$1" -n "${@:2}" stat 2>&1 | awk '/^Maximum amplitude/ {print $3}'; }
loud() { awk -v p="${1:-0}" 'BEGIN { exit !(p > 0.05) }'; }

heard=0 counted=0 peaks=()
kills=0 survived=0 awaiting_sound=0
jackd_pid=
start_jackd() {
    jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >>"$out/jackd.log" 2>&1 &
    jackd_pid=$!
    e2e_pids+=("$jackd_pid")
    e2e_poll jack_answers || { echo "jackd did not answer in 30 s" >&2; return 1; }
}
jack_answers() { jack_lsp >/dev/null 2>&1; }
ports_connected() { jack_lsp -c trovik:out_1 2>/dev/null | grep -q 'system:playback_1'; }

# 5 s of our port out_1; the first recording heard after a server kill makes
# that kill survived.
jack_listen() {
    local file="$out/listen-$counted.wav" peak=0
    counted=$((counted + 1))
    if timeout 30 jack_rec -f "$file" -d 5 -b 16 trovik:out_1 >>"$out/jack_rec.log" 2>&1; then
        peak=$(peak_of "$file")
    fi
    peaks+=("${peak:-0}")
    note "recording $file: peak ${peak:-0}"
    loud "$peak" || return 0
    heard=$((heard + 1))
    [ "$awaiting_sound" -eq 1 ] && survived=$((survived + 1))
    awaiting_sound=0
}

# Kills the server the way a crash would and starts it again; the program's
# ports must be connected again within 30 s.
restart_jackd() {
    [ "$awaiting_sound" -eq 1 ] && note "nothing heard since the last server kill"
    kill -KILL "$jackd_pid" 2>/dev/null || true
    e2e_poll e2e_gone "$jackd_pid" || { echo "jackd outlived SIGKILL by 30 s" >&2; return 1; }
    kills=$((kills + 1))
    note "jackd killed"
    sleep "$((RANDOM % 4))"  # the program finds its server gone, or not yet
    start_jackd
    awaiting_sound=0
    if e2e_poll ports_connected; then
        note "jackd back, our ports connected"
        awaiting_sound=1
        jack_listen
    else
        note "our ports did not come back within 30 s of the server's return"
    fi
}

e2e_start_x
if [ "$stack" = jack ]; then
    e2e_sound_home
    # A fixed name: a killed server costs no slot of JACK's machine-wide registry.
    export JACK_DEFAULT_SERVER=trovik-soak-$sanitizer JACK_NO_AUDIO_RESERVATION=1 TROVIK_AUDIO=jack
    unset PULSE_SERVER
    start_jackd
else
    e2e_start_pulse
    # One channel is enough to hear it, and half the size over 30 minutes.
    parec -d nullsink.monitor --latency-msec=20 --format=s16le --rate=44100 --channels=1 \
        --file-format=wav "$out/recording.wav" &
    recorder=$!
    e2e_pids+=("$recorder")
fi

crashes=0
answered=()
start_program() {
    (cd "$samples" && exec "$program") >>"$out/trovik.log" 2>&1 &
    pid=$!
    window=$(e2e_wait_window "Trovik beat maker")
    note "started pid $pid window $window"
    # Text2, the beat file name for Save: select all and type.
    xdotool mousemove --window "$window" 360 38 click 1
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 5 mybeat.tbk
}

# A child that ended stays a zombie until waited for, and kill -0 still finds it.
alive() { [ -e "/proc/$1/stat" ] && [ "$(awk '{print $3}' "/proc/$1/stat")" != Z ]; }

click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

dialog_gone() { ! xdotool search --onlyvisible --name '^Trovik Beat Maker$' 2>/dev/null | grep -x "$1" >/dev/null; }

# Answers whatever prompt or message box Save or Load opened: Return takes
# the prompt's file name or closes the message; now and then Escape cancels.
answer_dialogs() {
    local dialog key minute
    for _ in $(seq 100); do
        # xdotool matches names without regard to case: leave the main window out.
        dialog=$(xdotool search --onlyvisible --name '^Trovik Beat Maker$' 2>/dev/null |
            grep -v -x "$window" | head -n 1 || true)
        if [ -n "$dialog" ]; then
            key=Return
            [ $((RANDOM % 5)) -eq 0 ] && key=Escape
            xdotool mousemove --window "$dialog" 5 5 windowfocus --sync "$dialog" key "$key" || true
            note "dialog $dialog: $key"
            minute=$((($(date +%s) - begin) / 60))
            answered[minute]=$((${answered[minute]:-0} + 1))
            e2e_poll dialog_gone "$dialog" || { echo "dialog $dialog stayed up after $key for 30 s" >&2; return 1; }
            continue
        fi
        # Nothing (more) to answer for a while: done. Look again in 30 ms.
        sleep 0.03
        [ $((RANDOM % 10)) -eq 0 ] && return 0
    done
}

# VScroll1 (296, 0, 49 x 25): Home and End jump to 0 and 999, each arrow
# click moves by 1 (top arrow shorter, bottom arrow longer).
set_tempo() {
    local wanted=$((RANDOM % 999 + 1))
    click 320 3
    xdotool windowfocus "$window"
    if [ "$wanted" -lt 500 ]; then
        xdotool key Home
        xdotool mousemove --window "$window" 320 21 click --repeat "$wanted" --delay 1 1
    else
        xdotool key End
        [ "$wanted" -lt 999 ] && xdotool mousemove --window "$window" 320 3 click --repeat $((999 - wanted)) --delay 1 1
    fi
    note "tempo $wanted"
}

act() {
    local roll=$((RANDOM % 100)) row column
    if [ $roll -lt 45 ]; then
        row=$((RANDOM % 3)) column=$((RANDOM % 16))
        click $((133 + 29 * column)) $((126 + 135 * row))
        note "cell row $row column $column"
    elif [ $roll -lt 55 ]; then
        row=$((RANDOM % 3))
        click 48 $((88 + 136 * row))
        note "switch $row"
    elif [ $roll -lt 62 ]; then
        set_tempo
    elif [ $roll -lt 68 ]; then
        click 224 12
        note "play"
    elif [ $roll -lt 73 ]; then
        click 272 12
        note "stop"
    elif [ $roll -lt 78 ]; then
        # Dir1 (254, 300, 117 x 62): opens the entry double-clicked, the big
        # folder among them; the file list follows.
        xdotool mousemove --window "$window" $((258 + RANDOM % 100)) $((304 + RANDOM % 54)) \
            click --repeat 2 --delay 40 1
        note "folder opened"
    elif [ $roll -lt 88 ]; then
        # File1 (374, 300, 100 x 45), its scroll bar included; now and then
        # the arrow keys move its selection further.
        click $((376 + RANDOM % 96)) $((302 + RANDOM % 41))
        if [ $((RANDOM % 3)) -eq 0 ]; then
            xdotool windowfocus "$window" key --repeat $((RANDOM % 6 + 1)) --delay 20 Down
        fi
        note "file pick"
    elif [ $roll -lt 94 ]; then
        click 566 47
        note "save"
        answer_dialogs
    else
        click 580 12
        note "load"
        answer_dialogs
    fi
}

start_program
begin=$(date +%s)
end=$((begin + minutes * 60))
# The server kills, spread over the run; a recording each minute.
jack_kills=${SOAK_JACK_KILLS:-2}
next_kill=$((begin + minutes * 60 / (jack_kills + 1)))
next_listen=$((begin + 60))
actions=0
while [ "$(date +%s)" -lt "$end" ]; do
    if [ "$stack" = jack ]; then
        if [ "$kills" -lt "$jack_kills" ] && [ "$(date +%s)" -ge "$next_kill" ]; then
            restart_jackd
            next_kill=$((next_kill + minutes * 60 / (jack_kills + 1)))
        elif [ "$(date +%s)" -ge "$next_listen" ]; then
            jack_listen
            next_listen=$((next_listen + 60))
        fi
    fi
    if ! alive "$pid"; then
        status=0
        wait "$pid" || status=$?
        crashes=$((crashes + 1))
        note "program $pid ended with status $status"
        echo "the program ended with status $status after $actions actions; started again" >&2
        start_program
    fi
    act || note "action failed"
    actions=$((actions + 1))
    sleep "0.$((RANDOM % 9))$((RANDOM % 10))"  # a random pace, as a person's
done
[ "$stack" = jack ] && [ "$awaiting_sound" -eq 1 ] && jack_listen
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true

# The loudest sample of each minute: sound was heard all through if every
# minute has one (the mutes and Stop make some minutes quiet now and then).
if [ "$stack" = pulse ]; then
    kill -INT "$recorder"
    wait "$recorder" || true
    length=$(soxi -D "$out/recording.wav")
    for ((m = 0; m * 60 < ${length%.*}; m++)); do
        peak=$(peak_of "$out/recording.wav" trim $((m * 60)) 60)
        peaks+=("${peak:-0}")
        counted=$((counted + 1))
        loud "$peak" && heard=$((heard + 1))
    done
fi

# One sanitizer file per process; a TSan file may hold many reports.
reports=$(cat "$out"/sanitizer/* 2>/dev/null | grep -c -E '(ERROR|WARNING): [A-Za-z]+Sanitizer|runtime error:' || true)
reports=$((reports > 0 ? reports : $(find "$out/sanitizer" -type f | wc -l)))
# A data race whose two accesses both lie inside the libraries (no frame of
# our code, a file of this repository or a function of namespace trovik, in
# either access's stack) is set apart into $out/library-races.txt and not
# counted: Qt's thread pool moves its own bookkeeping between its threads in
# functions the runtime cannot name, so tsan.supp cannot match them.
library_races() {
    awk -v ours="$root/" '
        function ours_in(line) { return index(line, ours) || line ~ /trovik::/ }
        /^WARNING: ThreadSanitizer: / { text = ""; race = /data race/; sides = 0; delete mine; in_access = 0 }
        { text = text $0 "\n" }
        /^  (Previous )?([Aa]tomic )?([Rr]ead|[Ww]rite) of size/ { in_access = 1; sides++; next }
        /^  [A-Z]/ { in_access = 0 }
        in_access && /^    #[0-9]/ && ours_in($0) { mine[sides] = 1 }
        /^SUMMARY: ThreadSanitizer: / && race && sides == 2 && !mine[1] && !mine[2] { printf "%s\n", text; n++ }
        END { exit n == 0 }
    ' "$out"/sanitizer/* 2>/dev/null >"$out/library-races.txt"
}
set_apart=0
if [ "$sanitizer" = thread ] && library_races; then
    set_apart=$(grep -c '^WARNING: ThreadSanitizer' "$out/library-races.txt")
    reports=$((reports - set_apart))
fi
cores=$(find "$out/work" -maxdepth 1 -type f -name 'core*' | wc -l)
echo "== soak: $minutes min, $sanitizer sanitizer, $stack, seed $seed, $actions actions"
echo "program ends: $crashes (see $out/trovik.log and $log)"
echo "sanitizer reports: $reports (in $out/sanitizer; $set_apart more inside the libraries only: $out/library-races.txt)"
echo "core dumps: $cores ($cores_where)"
# A window that stops answering shows as minutes without an answered prompt.
echo "prompts and messages answered, by minute: $(for ((m = 0; m < minutes; m++)); do printf '%s ' "${answered[m]:-0}"; done)"
echo "sound: heard in $heard of $counted $([ "$stack" = jack ] && echo "5-s recordings" || echo minutes) (peaks: ${peaks[*]})"
[ "$stack" = jack ] && echo "JACK server kills: $kills, survived (ports back and heard again): $survived"
[ "$crashes" -eq 0 ] && [ "$reports" -eq 0 ] && [ "$cores" -eq 0 ] && [ "$heard" -gt 0 ] &&
    [ "$survived" -eq "$kills" ]
