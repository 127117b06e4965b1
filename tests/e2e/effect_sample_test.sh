#!/usr/bin/env bash
# End to end: the real program in a real X server, with a real sound server.
# Switches every other effect cell on, then picks a WAV with the mouse in the
# sample browser (opens its folder in the directory list, clicks it in the
# file list) and checks from the recording that the effect track is silent
# before the pick and plays that file, an 880 Hz tone, after it.
#
# usage: effect_sample_test.sh <trovik-executable>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
source "$here/session.sh"

# The program starts in a folder whose first subfolder holds the sample; the
# other folders fill the directory list so that the current folder scrolls
# to its top row and the first subfolder sits right below it.
samples="$e2e_dir/samples"
mkdir -p "$samples/a_fx" "$samples/b" "$samples/c" "$samples/d" "$samples/e"
python3 - "$samples/a_fx/Zap.WAV" <<'PY'
import math, struct, sys, wave
rate, seconds = 44100, 0.15
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)
    frames = int(rate * seconds)
    w.writeframes(b"".join(struct.pack("<h", int(12000 * math.sin(2 * math.pi * 880 * i / rate)))
                           for i in range(frames)))
PY

e2e_start_x
e2e_start_pulse
(cd "$samples" && exec "$program") >"$e2e_dir/trovik.log" 2>&1 &
e2e_pids+=($!)
window=$(e2e_wait_window "Trovik beat maker")

# Effect row: cells at y 385, column c at x 122 + 29 (c - 1).
for column in 1 3 5 7 9 11 13 15; do
    xdotool mousemove --window "$window" $((122 + 29 * (column - 1) + 11)) 396 click 1
done

record() {  # record <file> <seconds>
    e2e_record "$1" &
    local recorder=$!
    sleep "$2"
    kill -INT "$recorder"
    wait "$recorder" || true
}

record "$e2e_dir/before.wav" 1.5

# Dir1 (254, 300, 117 x 62): the current folder is its top row, "a_fx" the
# second; y 24 lies inside the second row for any row height from 13 to 18.
xdotool mousemove --window "$window" 300 324 click --repeat 2 --delay 80 1
sleep 1
# File1 (374, 300, 100 x 45): its first row, Zap.WAV, once Timer4 has listed it.
xdotool mousemove --window "$window" 410 309 click 1
sleep 0.2
import -window "$window" "$e2e_dir/window.png" 2>/dev/null || true

record "$e2e_dir/after.wav" 2.5
[ -n "${TROVIK_E2E_KEEP:-}" ] && cp "$e2e_dir/before.wav" "$e2e_dir/after.wav" "$e2e_dir/window.png" "$TROVIK_E2E_KEEP/"

python3 - "$e2e_dir/before.wav" "$e2e_dir/after.wav" <<'PY'
import struct, sys, wave

def sound_of(path):
    """Seconds of sound in the left channel (10 ms blocks that rise above a
    quiet floor) and its pitch, from the median spacing of the upward zero
    crossings inside loud stretches."""
    with wave.open(path, "rb") as w:
        rate, channels = w.getframerate(), w.getnchannels()
        raw = w.readframes(w.getnframes())
    left = struct.unpack("<%dh" % (len(raw) // 2), raw)[::channels]
    block = rate // 100
    loud_blocks = sum(1 for start in range(0, len(left) - block, block)
                      if max(abs(v) for v in left[start:start + block]) > 1000)
    ups = [i for i in range(1, len(left) - 30)
           if left[i - 1] < 0 <= left[i] and max(left[i:i + 30]) > 1000]
    periods = sorted(b - a for a, b in zip(ups, ups[1:]) if b - a < rate // 200)
    pitch = rate / periods[len(periods) // 2] if periods else 0
    return loud_blocks / 100, pitch

before, _ = sound_of(sys.argv[1])
assert before == 0, f"the effect track sounded before a sample was picked ({before:.2f} s)"
after, pitch = sound_of(sys.argv[2])
print(f"after the pick: {after:.2f} s of sound at about {pitch:.0f} Hz")
assert after >= 0.1, f"only {after:.2f} s of sound after the pick"
assert 800 < pitch < 960, f"the sound is at {pitch:.0f} Hz, not the picked 880 Hz sample"
print("effect sample: OK")
PY
