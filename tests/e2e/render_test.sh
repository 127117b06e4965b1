#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: `trovik --render` of the worked example. Every bass and snare
# hit on its exact frame, the file exactly 64 steps long; one loop four
# times over equals four loops byte for byte; bad input ends with status 1,
# one line naming the file and the reason, and no file left behind (the
# render's own tests try every kind of bad input; these show that the
# executable passes the status and the line through). The same bytes go to
# standard output, through links and down a named pipe; names are taken as
# the bytes they are; a signal leaves no temporary file. Run as root, it
# runs again as an unprivileged user.
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
rm -f one4.raw four.raw

# Standard output, a link to it, a link to a file and a named pipe all get
# the bytes of a plain file; the link to the file stays a link.
"$program" --render beat.tbk -o - >dash.wav || fail "-o - failed"
"$program" --render beat.tbk -o /dev/stdout >stdout.wav || fail "-o /dev/stdout failed"
"$program" --render beat.tbk -o /dev/stdout | cat >piped.wav || fail "-o /dev/stdout | cat failed"
ln -s /proc/self/fd/1 to-stdout
"$program" --render beat.tbk -o to-stdout >linked-stdout.wav || fail "a link to standard output failed"
mkdir sub && echo old >sub/target.wav && ln -s sub/target.wav link.wav
"$program" --render beat.tbk -o link.wav || fail "a link to a file failed"
[ -L link.wav ] || fail "the link was replaced"
mkfifo pipe.wav
cat pipe.wav >from-pipe.wav &
"$program" --render beat.tbk -o pipe.wav || fail "a named pipe failed"
wait $!
for copy in dash.wav stdout.wav piped.wav linked-stdout.wav sub/target.wav from-pipe.wav; do
    cmp one.wav "$copy" || fail "$copy differs from the plain file"
done
rm -rf dash.wav stdout.wav piped.wav to-stdout linked-stdout.wav sub link.wav pipe.wav from-pipe.wav

# Names that are no UTF-8 in a UTF-8 locale, byte for byte.
cp beat.tbk "lat"$'\xe9'".tbk" && cp "$samples/snare.wav" "fx"$'\xe9'".wav"
LC_ALL=C.UTF-8 "$program" --render "lat"$'\xe9'".tbk" --effect "fx"$'\xe9'".wav" \
    -o "out"$'\xe9'".wav" || fail "names that are no UTF-8 failed"
cmp one.wav "out"$'\xe9'".wav" || fail "out\\xe9.wav is not the render"
rm -f "lat"$'\xe9'".tbk" "fx"$'\xe9'".wav" "out"$'\xe9'".wav" one.wav

# Interrupted: no temporary file, the old output untouched, and the status
# of the signal. (A shell starts a background job with SIGINT ignored.)
for signal in INT TERM HUP; do
    echo "an old file" >long.wav
    env --default-signal="$signal" "$program" --render beat.tbk -o long.wav --loops 9000 &
    pid=$!
    for _ in $(seq 400); do
        compgen -G '.long.wav.*' >/dev/null && break
        sleep 0.05
    done
    kill -s "$signal" "$pid"
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq $((128 + $(kill -l "$signal"))) ] || fail "SIG$signal: status $status"
    [ -z "$(compgen -G '.long.wav.*')" ] || fail "SIG$signal left $(compgen -G '.long.wav.*')"
    [ "$(cat long.wav)" = "an old file" ] || fail "SIG$signal: the old output changed"
done
rm -f long.wav

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
cp beat.tbk beat.copy
expect_refused beat.tbk "is the beat file" beat.tbk --output beat.tbk
cmp beat.tbk beat.copy || fail "the beat file changed"
echo "render as $(id -un): OK"

if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    setpriv --reuid=65534 --regid=65534 --clear-groups "$0" "$@"
fi
