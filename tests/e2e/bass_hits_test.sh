#!/usr/bin/env bash
# End to end: the real program in a real X server, with a real sound server.
# Switches all 16 bass cells on with the mouse, records what comes out and
# checks that a bass hit sounds on every step at the start-up interval.
#
# usage: bass_hits_test.sh <trovik-executable> [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
seconds=${2:-4}
source "$here/session.sh"

e2e_start_x
e2e_start_pulse
"$program" >"$e2e_dir/trovik.log" 2>&1 &
e2e_pids+=($!)
window=$(e2e_wait_window "Trovik beat maker")

for column in $(seq 1 16); do
    xdotool mousemove --window "$window" $((122 + 29 * (column - 1) + 11)) 126 click 1
done
sleep 0.3
import -window "$window" "$e2e_dir/window.png" 2>/dev/null || true

e2e_record "$e2e_dir/out.wav" &
recorder=$!
sleep "$seconds"
kill -INT "$recorder"
wait "$recorder" || true

report=$(python3 "$here/../../tools/onsets.py" "$e2e_dir/out.wav" 150)
echo "$report"
[ -n "${TROVIK_E2E_KEEP:-}" ] && cp "$e2e_dir/out.wav" "$e2e_dir/window.png" "$TROVIK_E2E_KEEP/"
python3 - "$report" "$seconds" <<'PY'
import re, sys
report, seconds = sys.argv[1], float(sys.argv[2])
hits = int(re.search(r"(\d+) onsets", report).group(1))
median = float(re.search(r"median ([\d.]+) max", report).group(1))
expected = seconds * 1000 / 150
assert hits >= expected * 0.8, f"only {hits} hits in {seconds} s, expected about {expected:.0f}"
assert abs(median - 150) < 2, f"median interval {median} ms, expected 150"
print("bass hits: OK")
PY
