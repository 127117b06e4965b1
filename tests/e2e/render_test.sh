#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: what only the executable shows of `trovik --render` (the
# render's own tests check the sound, the seam and every kind of bad input).
# One loop of the worked example is 16 steps of 16-bit stereo at 48 kHz; the
# same bytes go to standard output, through a link to it and down a pipe or
# a named pipe; names are taken as the bytes they are; a signal leaves no
# temporary file, the old output as it was, and the signal's status; a bad
# input ends with status 1 and one line naming the file and the reason. Run
# as root, it runs again as an unprivileged user.
#
# usage: render_test.sh <trovik-executable> <sample-folder>
here=$(cd "$(dirname "$0")" && pwd)
source "$here/render_lib.sh"
work=$(mktemp -d -t trovik-render.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
render_write_worked_example beat.tbk

# The plain WAV header of 16-bit sound is 44 bytes; a step of 150 ms is
# 7200 frames at 48 kHz.
"$program" --render beat.tbk --output one.wav || fail "the render failed"
bytes=$(stat -c %s one.wav)
[ "$bytes" -eq $((44 + 16 * 7200 * 4)) ] || fail "$bytes bytes, not 16 steps of 16-bit stereo"

"$program" --render beat.tbk -o - >dash.wav || fail "-o - failed"
"$program" --render beat.tbk -o /dev/stdout >stdout.wav || fail "-o /dev/stdout failed"
"$program" --render beat.tbk -o /dev/stdout | cat >piped.wav || fail "-o /dev/stdout | cat failed"
ln -s /proc/self/fd/1 to-stdout
"$program" --render beat.tbk -o to-stdout >linked-stdout.wav || fail "a link to standard output failed"
mkfifo pipe.wav
cat pipe.wav >from-pipe.wav &
"$program" --render beat.tbk -o pipe.wav || fail "a named pipe failed"
wait $!
# Names that are no UTF-8 in a UTF-8 locale, byte for byte.
cp beat.tbk "lat"$'\xe9'".tbk" && cp "$samples/snare.wav" "fx"$'\xe9'".wav"
LC_ALL=C.UTF-8 "$program" --render "lat"$'\xe9'".tbk" --effect "fx"$'\xe9'".wav" \
    -o "out"$'\xe9'".wav" || fail "names that are no UTF-8 failed"
for copy in dash.wav stdout.wav piped.wav linked-stdout.wav from-pipe.wav "out"$'\xe9'".wav"; do
    cmp one.wav "$copy" || fail "$copy differs from the plain file"
done

# Interrupted. (A shell starts a background job with SIGINT ignored.)
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

status=0
"$program" --render missing.tbk --output new.wav 2>err.txt || status=$?
[ "$status" -eq 1 ] || fail "a missing beat file: status $status, wanted 1"
[ "$(cat err.txt)" = "trovik: missing.tbk: No such file or directory" ] ||
    fail "a missing beat file: $(cat err.txt)"
[ ! -e new.wav ] || fail "a missing beat file left new.wav"
echo "render as $(id -un): OK"

if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    setpriv --reuid=65534 --regid=65534 --clear-groups "$0" "$@"
fi
