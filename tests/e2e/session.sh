# Sourced by end-to-end tests and measurement scripts: starts a private X
# server and a private PulseAudio server with a null sink, and stops both on
# exit. Needs xvfb, pulseaudio and pulseaudio-utils (./test.sh installs them).
#
#   source tests/e2e/session.sh
#   e2e_start_x            # exports DISPLAY
#   e2e_start_pulse        # exports PULSE_SERVER, XDG_RUNTIME_DIR, HOME
#   e2e_record out.wav &   # records the null sink until killed with SIGINT

e2e_dir=$(mktemp -d -t trovik-e2e.XXXXXX)
e2e_pids=()

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

e2e_start_x() {
    local display
    for display in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] || break
    done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$e2e_dir/xvfb.log" 2>&1 &
    e2e_pids+=($!)
    export DISPLAY=":$display"
    e2e_start_session_bus
    # ctest runs everything with the offscreen platform; these programs need the X server.
    export QT_QPA_PLATFORM=xcb
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "Xvfb did not start" >&2
    return 1
}

# A desktop session has a message bus; without one, libraries that look for
# it (SDL does, at start-up) try to launch one and wait for that to fail.
e2e_start_session_bus() {
    local address
    address=$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=3 3>"$e2e_dir/bus.pid") || return 1
    e2e_pids+=($(cat "$e2e_dir/bus.pid"))
    export DBUS_SESSION_BUS_ADDRESS="$address"
}

e2e_start_pulse() {
    export XDG_RUNTIME_DIR="$e2e_dir/runtime" HOME="$e2e_dir/home"
    mkdir -p "$XDG_RUNTIME_DIR" "$HOME" && chmod 700 "$XDG_RUNTIME_DIR"
    pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
        --log-target=file:"$XDG_RUNTIME_DIR/pulse.log" \
        --load="module-null-sink sink_name=nullsink sink_properties=device.description=NullSink" \
        --load="module-native-protocol-unix socket=$XDG_RUNTIME_DIR/native auth-anonymous=1" || return 1
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/native"
    export SDL_AUDIODRIVER=pulseaudio
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "PulseAudio did not start" >&2
    return 1
}

# Records what the null sink plays into $1 (16-bit 44.1 kHz stereo WAV).
# Run in the background and stop with: kill -INT <pid>; wait <pid>
e2e_record() {
    exec parec -d nullsink.monitor --latency-msec=20 --format=s16le --rate=44100 --channels=2 \
        --file-format=wav "$1"
}

# Waits until a window with the given title is mapped; prints its id.
e2e_wait_window() {
    local id
    for _ in $(seq 2000); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.005
    done
    echo "no window named '$1'" >&2
    return 1
}
