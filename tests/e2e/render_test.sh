#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: `trovik --render` of the worked example. Every bass and snare
# hit on its exact frame, the file exactly 64 steps long; one loop four
# times over equals four loops byte for byte; bad input ends with status 1,
# one line naming the file and the reason, and no file left behind (the
# render's own tests try every kind of bad input; these show that the
# executable passes the status and the line through).
#
# usage: render_test.sh <trovik-executable> <onsets-tool> <sample-folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
onsets=$2
samples=$3
source "$here/render_lib.sh"
work=$(mktemp -d -t trovik-render.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() {
    echo "FAIL: $1" >&2
    exit 1
}
render_write_worked_example beat.tbk

# A step of 150 ms is 7200 frames at 48 kHz; the file starts on step 1.
"$program" --render beat.tbk --output four.wav --loops 4 || fail "the render failed"
read -r _ bytes < <(render_data_chunk four.wav)
[ "$bytes" -eq $((64 * 7200 * 4)) ] || fail "$bytes bytes of sound, not 64 steps of 16-bit stereo"
bass=$(render_hit_frames "$onsets" four.wav "$samples/bass.wav")
snare=$(render_hit_frames "$onsets" four.wav "$samples/snare.wav")
want_bass="" want_snare=""
for pass in 0 1 2 3; do
    want_bass+=" $((pass * 115200)) $((pass * 115200 + 57600))"
    want_snare+=" $((pass * 115200 + 28800)) $((pass * 115200 + 86400))"
done
[ "$bass" = "${want_bass# }" ] || fail "bass hits at '$bass', wanted '${want_bass# }'"
[ "$snare" = "${want_snare# }" ] || fail "snare hits at '$snare', wanted '${want_snare# }'"

"$program" --render beat.tbk --output one.wav || fail "the render of one loop failed"
for _ in 1 2 3 4; do render_data_bytes one.wav; done >one4.raw
render_data_bytes four.wav >four.raw
cmp one4.raw four.raw || fail "one loop four times over is not four loops"
rm -f one.wav one4.raw four.raw

# A bad input: status 1, one line "trovik: FILE: reason", no new file, an
# existing output untouched.
expect_refused() {
    local named=$1 reason=$2 status=0 before after
    shift 2
    echo "an old file" >old.wav
    : >err.txt
    before=$(ls -A | sort)
    timeout 20 "$program" --render "$@" 2>err.txt >/dev/null || status=$?
    after=$(ls -A | sort)
    [ "$status" -eq 1 ] || fail "$*: status $status, wanted 1"
    [ "$(wc -l <err.txt)" -eq 1 ] || fail "$*: not one line: $(cat err.txt)"
    grep -qF "trovik: $named: " err.txt || fail "$*: does not name $named: $(cat err.txt)"
    grep -qF "$reason" err.txt || fail "$*: no '$reason' in: $(cat err.txt)"
    [ "$before" = "$after" ] || fail "$*: the folder changed: $after"
    [ "$(cat old.wav)" = "an old file" ] || fail "$*: the old output changed"
    rm -f err.txt
}
mkdir folder.wav
expect_refused missing.tbk "No such file or directory" missing.tbk --output old.wav
expect_refused folder.wav "a folder, not a file" beat.tbk --output folder.wav
expect_refused old.wav "the loop count must be 1 or more, not 0" beat.tbk --output old.wav --loops 0
echo "render: OK"
