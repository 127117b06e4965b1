# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by end-to-end tests and measurement scripts: starts a private X
# server and a private sound server with a null sink, and stops them on exit.
# Needs xvfb, pulseaudio and pulseaudio-utils; pipewire, wireplumber and
# libasound2-plugins for the other sound stacks (./test.sh installs them).
#
#   source scripts/session.sh
#   e2e_start_x                # exports DISPLAY
#   e2e_start_pulse [rate]     # PulseAudio; exports PULSE_SERVER, XDG_RUNTIME_DIR, HOME
#   e2e_start_pipewire [rate]  # or PipeWire, the program on SDL's PipeWire driver
#   e2e_use_alsa               # after e2e_start_pulse: the program on SDL's ALSA
#                              # driver, through ALSA's pulse plug-in
#   e2e_record out.wav [rate] &    # records the null sink (at its own rate unless
#                                  # given) until killed with SIGINT
#   e2e_start_recording out.wav [rate] # the same, once it records; sets e2e_recorder
#   e2e_stop_pulse; e2e_pulse_daemon   # kills the PulseAudio server, starts it again
#                              # (its sink module from e2e_pulse_sink, if set)
#   e2e_start_program prog [folder [args...]]  # starts it there; sets program_pid and window
#   e2e_jack_record out.wav seconds ports...   # jack_rec of the ports; returns 1 when
#                                              # the server ran late meanwhile
#   e2e_jack_on_time command...                # runs it again while it returns 1
#   e2e_click_cells top columns...     # clicks cells of the row at y top
#   e2e_record_for out.wav seconds     # records the null sink that long
#   e2e_pick_first_sample              # picks the WAV of the first subfolder
#   e2e_wait_sound                     # until the null sink plays something
#   e2e_wait_settled pid               # until pid's start-up work is done
#   e2e_poll command...                # until the command succeeds
#
# Every wait polls for what it waits for and fails, saying what never came,
# after 30 s.
#
# The null sink runs at 44100 Hz unless a rate is given.
#
# The checks look at where the program puts its hits, which the size of its
# output buffer does not change. On the project's virtual two-core machines
# a bare SDL stream of 512 frames through PulseAudio runs dry 5 to 15 times
# a minute (two recorders hear the same gaps), and a gap moves every later
# hit; so the program plays through the largest buffer it grows to unless
# TROVIK_BUFFER_FRAMES says otherwise. tools/measure/measure_timing.sh sets it empty:
# it measures the default.
: "${TROVIK_BUFFER_FRAMES=2048}"
export TROVIK_BUFFER_FRAMES

e2e_dir=$(mktemp -d -t trovik-e2e.XXXXXX)
e2e_pids=()
e2e_sink_rate=44100

# The servers write into $e2e_dir until they are gone: it goes after them.
e2e_cleanup() {
    local pid pids=("${e2e_pids[@]}")
    if [ -f "$e2e_dir/runtime/pulse/pid" ]; then pids+=("$(cat "$e2e_dir/runtime/pulse/pid")"); fi
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do
        e2e_poll e2e_gone "$pid" || echo "process $pid still runs 30 s after it was told to end" >&2
    done
    rm -rf "$e2e_dir"
}
trap e2e_cleanup EXIT

# Microseconds since the epoch.
e2e_now_us() { local now=${EPOCHREALTIME//[.,]/}; echo "$((10#$now))"; }

# Runs "$@" every 20 ms until it succeeds, for up to 30 s: whatever it waits
# for can take seconds on a busy machine. The 30 s count from the start, also
# when "$@" takes time itself.
e2e_poll() {
    local deadline
    deadline=$(($(e2e_now_us) + 30000000))
    until "$@"; do
        [ "$(e2e_now_us)" -lt "$deadline" ] || return 1
        sleep 0.02
    done
}

# A process that ended; one of ours stays a zombie until waited for, and
# kill -0 would still find it.
e2e_gone() {
    local state
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)
    [ -z "$state" ] || [ "$state" = Z ]
}

# Xvfb picks a free display itself and writes its number once it accepts
# clients: two sessions started at the same moment (tests run by others on
# the same machine) never share an X server. -noreset: without it the server
# resets when its last client leaves, and a program started in that moment
# cannot connect and aborts.
e2e_start_x() {
    Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$e2e_dir/display" >"$e2e_dir/xvfb.log" 2>&1 &
    e2e_pids+=($!)
    e2e_poll test -s "$e2e_dir/display" || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(cat "$e2e_dir/display")"
    e2e_start_session_bus
    # ctest runs everything with the offscreen platform; these programs need the X server.
    export QT_QPA_PLATFORM=xcb
}

# A desktop session has a message bus; without one, libraries that look for
# it (SDL does, at start-up) try to launch one and wait for that to fail.
e2e_start_session_bus() {
    local address
    address=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=3 3>"$e2e_dir/bus.pid") || return 1
    e2e_pids+=($(cat "$e2e_dir/bus.pid"))
    export DBUS_SESSION_BUS_ADDRESS="$address"
}

# A private runtime folder (sockets) and home (client settings) for the sound
# servers and their clients.
# A JACK server of another session would take the program's sound: the
# session's JACK server name is its own, and none runs under it unless the
# test starts one.
e2e_sound_home() {
    export XDG_RUNTIME_DIR="$e2e_dir/runtime" HOME="$e2e_dir/home"
    export JACK_DEFAULT_SERVER="trovik-e2e-$$"
    export XDG_CONFIG_HOME="$HOME/.config"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" && chmod 700 "$XDG_RUNTIME_DIR"
}

# Polls until a server speaking the PulseAudio protocol answers at
# PULSE_SERVER with the null sink as its default; a server can take seconds to
# come up on a busy machine.
e2e_default_sink_is_null() { [ "$(pactl get-default-sink 2>/dev/null)" = nullsink ]; }
e2e_wait_sink() {
    e2e_poll e2e_default_sink_is_null ||
        { echo "no sound server with the null sink as its default after 30 s" >&2; return 1; }
}

# Starts the PulseAudio daemon with the null sink and waits for it. Callable
# again after e2e_stop_pulse: the socket stays where it was.
e2e_pulse_daemon() {
    pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
        --log-target=file:"$XDG_RUNTIME_DIR/pulse.log" \
        --load="${e2e_pulse_sink:-module-null-sink sink_name=nullsink rate=$e2e_sink_rate sink_properties=device.description=NullSink}" \
        --load="module-native-protocol-unix socket=$XDG_RUNTIME_DIR/native auth-anonymous=1" || return 1
    e2e_wait_sink
}

# Kills the PulseAudio daemon the way a crash would and waits until it is gone.
e2e_stop_pulse() {
    local pid
    pid=$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null) || { echo "no PulseAudio daemon" >&2; return 1; }
    kill -KILL "$pid"
    e2e_poll e2e_gone "$pid" || { echo "the PulseAudio daemon outlived SIGKILL by 30 s" >&2; return 1; }
    rm -f "$XDG_RUNTIME_DIR/pulse/pid"
}

# Without e2e_pulse_daemon: sets up the session so that a later
# e2e_pulse_daemon starts the server where clients look for it.
e2e_prepare_pulse() {
    e2e_sink_rate=${1:-44100}
    e2e_sound_home
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/native"
    export SDL_AUDIODRIVER=pulseaudio
}

e2e_start_pulse() {
    e2e_prepare_pulse "$@"
    e2e_pulse_daemon || { echo "PulseAudio did not start" >&2; return 1; }
}

# SDL's ALSA driver opens ALSA's "default" device; this routes it through
# the pulse plug-in to the server at PULSE_SERVER.
e2e_use_alsa() {
    mkdir -p "$XDG_CONFIG_HOME/alsa"
    printf 'pcm.!default { type pulse }\nctl.!default { type pulse }\n' >"$HOME/.asoundrc"
    cp "$HOME/.asoundrc" "$XDG_CONFIG_HOME/alsa/asoundrc"
    export SDL_AUDIODRIVER=alsa
}

# PipeWire from a configuration of our own: a null sink node at the session's
# rate, a dummy driver that clocks the graph, and the PulseAudio protocol (for
# pactl and parec); WirePlumber links streams to the sink. Needs the session
# bus of e2e_start_x: WirePlumber quits without one.
e2e_start_pipewire() {
    e2e_sink_rate=${1:-44100}
    e2e_sound_home
    sed "s/@RATE@/$e2e_sink_rate/g" >"$e2e_dir/pipewire.conf" <<'CONF'
context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = @RATE@
    default.clock.allowed-rates = [ @RATE@ ]
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-rt args = { nice.level = -11 } flags = [ ifexists nofail ] }
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-access }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    { name = libpipewire-module-session-manager }
    { name = libpipewire-module-protocol-pulse args = { server.address = [ "unix:native" ] } }
]
context.objects = [
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Dummy-Driver
               node.group = pipewire.dummy priority.driver = 20000 } }
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Freewheel-Driver
               node.group = pipewire.freewheel priority.driver = 19000 node.freewheel = true } }
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = nullsink
               node.description = NullSink media.class = Audio/Sink
               audio.rate = @RATE@ audio.position = [ FL FR ] } }
]
CONF
    pipewire -c "$e2e_dir/pipewire.conf" >"$e2e_dir/pipewire.log" 2>&1 &
    e2e_pids+=($!)
    e2e_poll test -S "$XDG_RUNTIME_DIR/pipewire-0" || { echo "PipeWire made no socket in 30 s" >&2; return 1; }
    wireplumber >"$e2e_dir/wireplumber.log" 2>&1 &
    e2e_pids+=($!)
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
    export SDL_AUDIODRIVER=pipewire
    e2e_wait_sink || { echo "PipeWire did not start" >&2; return 1; }
}

# Records what the null sink plays into $1, a 16-bit stereo WAV at $2 Hz
# (the sink's own rate unless given, so that the server does not resample
# what it records). Run in the background and stop with:
# kill -INT <pid>; wait <pid>
e2e_record() {
    exec parec -d nullsink.monitor --latency-msec=20 --format=s16le --rate="${2:-$e2e_sink_rate}" --channels=2 \
        --file-format=wav "$1"
}

# parec writes the WAV header at once, and what it hears up to 2 s later:
# a recording has started once its file holds more than the header.
e2e_recording_started() { [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -gt 1024 ]; }

# e2e_record in the background, once it records; its pid in e2e_recorder.
e2e_start_recording() {
    e2e_record "$@" &
    e2e_recorder=$!
    e2e_poll e2e_recording_started "$1" || { echo "parec recorded nothing into $1 in 30 s" >&2; return 1; }
}

# Waits until a window with the given title is mapped; prints its id.
e2e_window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 | grep .; }
e2e_wait_window() { e2e_poll e2e_window_named "$1" || { echo "no window named '$1'" >&2; return 1; }; }

# Starts the program $1 in folder $2 (the current one unless given), its
# output in trovik.log; sets program_pid and, once it is up, window.
e2e_start_program() {
    (cd "${2:-.}" && exec "$1" "${@:3}") >>"$e2e_dir/trovik.log" 2>&1 &
    program_pid=$!
    e2e_pids+=("$program_pid")
    window=$(e2e_wait_window "Trovik beat maker")
}

# Clicks the step cells in the given columns of the row whose top is at y
# $1 (bass 115, snare 250, effect 385); column c lies at x 122 + 29 (c - 1).
# Returns once the last cell shows its new caption: the window takes clicks
# in turn, so every click before it has been taken too.
e2e_click_cells() {
    local top=$1 last_left before column
    shift
    last_left=$((122 + 29 * (${!#} - 1)))
    before=$(e2e_region_signature "$last_left" "$top" 22 22)
    for column in "$@"; do
        xdotool mousemove --window "$window" $((122 + 29 * (column - 1) + 11)) $((top + 11)) click 1
    done
    e2e_poll e2e_region_differs "$before" "$last_left" "$top" 22 22 ||
        { echo "the cell at x $last_left, y $top did not change when clicked" >&2; return 1; }
}
e2e_region_differs() { [ "$(e2e_region_signature "${@:2}")" != "$1" ]; }

# Prints the program's output and the end of the sound servers' logs, for a
# test that failed.
e2e_show_logs() {
    local log
    for log in "$e2e_dir/trovik.log" "$e2e_dir"/pipewire.log "$e2e_dir"/wireplumber.log \
        "${XDG_RUNTIME_DIR:-$e2e_dir/none}"/pulse.log; do
        [ -s "$log" ] || continue
        echo "== the end of $(basename "$log")"
        tail -n 20 "$log"
    done >&2
}

# Records the null sink for $2 seconds from the moment sound comes in.
e2e_record_for() {
    e2e_start_recording "$1" || return 1
    sleep "$2"  # the span recorded
    kill -INT "$e2e_recorder"
    wait "$e2e_recorder" || true
}

# A signature of what the window shows in the rectangle x $1, y $2, $3 x $4.
e2e_region_signature() {
    import -window "$window" png:- 2>/dev/null |
        convert - -crop "$3x$4+$1+$2" +repage -format '%#' info:
}

# Whether the rectangle x $1, y $2, $3 x $4 shows entries (dark text) of a
# list; the lists read folders in the background.
e2e_shows_entries() {
    local darkest
    darkest=$(import -window "$window" png:- 2>/dev/null |
        convert - -crop "$3x$4+$1+$2" +repage -colorspace Gray -format '%[fx:minima]' info:) || return 1
    awk -v darkest="$darkest" 'BEGIN { exit !(darkest < 0.5) }'
}

# In a program started in a folder whose first subfolder holds one WAV and
# which holds none itself, opens that subfolder in Dir1 (254, 300, 117 x 62:
# the current folder is its top row, the subfolder the second; y 24 lies
# inside the second row for any row height from 13 to 18) and clicks
# File1's first row (374, 300, 100 x 45) once it lists the WAV.
e2e_pick_first_sample() {
    e2e_poll e2e_shows_entries 258 320 108 38 || { echo "Dir1 shows no subfolder" >&2; return 1; }
    xdotool mousemove --window "$window" 300 324 click --repeat 2 --delay 80 1
    e2e_poll e2e_shows_entries 377 303 94 38 || { echo "File1 shows no file" >&2; return 1; }
    xdotool mousemove --window "$window" 410 309 click 1
}

# The loudest sample (0 to 1) of the null sink's left channel over the next
# quarter of a second it plays.
e2e_sink_peak() {
    local frames=$((e2e_sink_rate / 4)) peak
    # parec ends on the pipe that head closes: that is no failure here.
    peak=$( (parec -d nullsink.monitor --raw --latency-msec=20 --format=s16le --rate="$e2e_sink_rate" \
        --channels=1 2>/dev/null || true) | head -c $((frames * 2)) |
        sox -t raw -r "$e2e_sink_rate" -e signed -b 16 -c 1 - -n stat 2>&1 |
        awk '/^Maximum amplitude/ {print $3}')
    echo "${peak:-0}"
}
e2e_sink_louder_than() { awk -v peak="$(e2e_sink_peak)" -v least="$1" 'BEGIN { exit !(peak > least) }'; }

# Waits until the null sink plays something louder than $1 (0.1 unless
# given): a sample picked has been read and sounds.
e2e_wait_sound() {
    e2e_poll e2e_sink_louder_than "${1:-0.1}" ||
        { echo "the null sink played nothing louder than ${1:-0.1} in 30 s" >&2; return 1; }
}

# Processor time (user + system) of process $1 so far, in clock ticks: fields
# 14 and 15 of its stat line, counted after the name in parentheses, which
# may hold spaces.
e2e_cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{print $12 + $13}'; }

# Whether process $1 has used at most 3 ticks (30 ms) of processor time over
# the last half second or more: start-up work takes a core, the program at
# rest 1 to 5 percent of one. Called again and again by e2e_poll.
e2e_quiet_since=0 e2e_quiet_ticks=-1
e2e_is_quiet() {
    local now ticks
    now=$(e2e_now_us)
    ticks=$(e2e_cpu_ticks "$1") && [ -n "$ticks" ] || return 1
    if [ "$e2e_quiet_ticks" -lt 0 ] || [ $((ticks - e2e_quiet_ticks)) -gt 3 ]; then
        e2e_quiet_since=$now e2e_quiet_ticks=$ticks
        return 1
    fi
    [ $((now - e2e_quiet_since)) -ge 500000 ]
}

# A sound stream plays into the null sink.
e2e_sink_has_input() { [ -n "$(pactl list short sink-inputs 2>/dev/null)" ]; }

# Waits until process $1 is past its start-up work: its sound stream plays
# into the sink and its processor time stands (nearly) still.
e2e_wait_settled() {
    e2e_poll e2e_sink_has_input || { echo "no sound stream reached the null sink in 30 s" >&2; return 1; }
    e2e_quiet_ticks=-1
    e2e_poll e2e_is_quiet "$1" || { echo "process $1 still busy after 30 s" >&2; return 1; }
}

# Records JACK ports with jack_rec (16 bits) into $1 for $2 s. A cycle the
# server ran late (an xrun, which jackd logs in $e2e_dir/jackd.log) drops
# frames from the recorder too, so the file no longer shows where hits fell:
# then it returns 1, and the caller records again.
e2e_jack_xruns() { grep -c 'XRun' "$e2e_dir/jackd.log" || true; }
e2e_jack_record() {
    local before
    before=$(e2e_jack_xruns)
    jack_rec -f "$1" -d "$2" -b 16 "${@:3}" >>"$e2e_dir/jack_rec.log" 2>&1 ||
        { echo "jack_rec failed: $(tail -n 3 "$e2e_dir/jack_rec.log")" >&2; return 2; }
    [ "$(e2e_jack_xruns)" = "$before" ] || { echo "the server ran late during the recording" >&2; return 1; }
}

# Runs "$@", which records with e2e_jack_record, again while it returns 1, up
# to five times.
e2e_jack_on_time() {
    local try status
    for try in 1 2 3 4 5; do
        status=0
        "$@" || status=$?
        [ "$status" = 1 ] || return "$status"
    done
    echo "the server ran late during each of five recordings" >&2
    return 1
}
