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
#   e2e_stop_pulse; e2e_pulse_daemon   # kills the PulseAudio server, starts it again
#   e2e_start_program prog [folder [args...]]  # starts it there; sets program_pid and window
#   e2e_click_cells top columns...     # clicks cells of the row at y top
#   e2e_record_for out.wav seconds     # records the null sink that long
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

e2e_cleanup() {
    local pid
    for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -f "$e2e_dir/runtime/pulse/pid" ]; then
        kill "$(cat "$e2e_dir/runtime/pulse/pid")" 2>/dev/null || true
    fi
    sleep 0.2
    rm -rf "$e2e_dir"
}
trap e2e_cleanup EXIT

# Runs "$@" every 20 ms until it succeeds, for up to 30 s: whatever it waits
# for can take seconds on a busy machine.
e2e_poll() {
    for _ in $(seq 1500); do
        "$@" && return 0
        sleep 0.02
    done
    return 1
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
e2e_sound_home() {
    export XDG_RUNTIME_DIR="$e2e_dir/runtime" HOME="$e2e_dir/home"
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
        --load="module-null-sink sink_name=nullsink rate=$e2e_sink_rate sink_properties=device.description=NullSink" \
        --load="module-native-protocol-unix socket=$XDG_RUNTIME_DIR/native auth-anonymous=1" || return 1
    e2e_wait_sink
}

# Kills the PulseAudio daemon the way a crash would and waits until it is gone.
e2e_stop_pulse() {
    local pid
    pid=$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null) || { echo "no PulseAudio daemon" >&2; return 1; }
    kill -KILL "$pid"
    while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
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
    e2e_poll test -S "$XDG_RUNTIME_DIR/pipewire-0" || true
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
e2e_click_cells() {
    local top=$1 column
    shift
    for column in "$@"; do
        xdotool mousemove --window "$window" $((122 + 29 * (column - 1) + 11)) $((top + 11)) click 1
    done
}

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

e2e_record_for() {
    e2e_record "$1" &
    local recorder=$!
    sleep "$2"
    kill -INT "$recorder"
    wait "$recorder" || true
}

# In a program started in a folder whose first subfolder holds one WAV,
# opens that subfolder in Dir1 (254, 300, 117 x 62: the current folder is
# its top row, the subfolder the second; y 24 lies inside the second row
# for any row height from 13 to 18) and clicks File1's first row (374, 300,
# 100 x 45) once Timer4 has listed it.
e2e_pick_first_sample() {
    xdotool mousemove --window "$window" 300 324 click --repeat 2 --delay 80 1
    sleep 1
    xdotool mousemove --window "$window" 410 309 click 1
}
