#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: the program's command line, as a shell and a file manager use it.
#
#   --help and --version answer on standard output with status 0, or 1 with
#   one line when they cannot write it; a mistake gets one line naming it
#   and a pointer to --help on standard error, and status 2 (run as root,
#   these are tried again as an unprivileged user). Without a display the
#   window says so in one line and ends with status 1, not an abort. Started
#   with a beat file (named relative to its working folder, its name no
#   UTF-8), the window holds that beat: a save right after start writes the
#   very same bytes.
#
# usage: command_line_test.sh <trovik-executable> [usage-only]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
if [ "${2:-}" = usage-only ]; then
    e2e_dir=$(mktemp -d -t trovik-usage.XXXXXX)
    trap 'rm -rf "$e2e_dir"' EXIT
else
    source "$here/../../scripts/session.sh"
fi

fail() { echo "$*" >&2; exit 1; }
out="$e2e_dir/out" err="$e2e_dir/err"
run() {
    local status=0
    "$@" >"$out" 2>"$err" || status=$?
    echo "$status"
}

[ "$(run "$program" --help)" = 0 ] || fail "--help failed"
grep -q -- '--render <beat>' "$out" || fail "--help does not show --render"
grep -qx 'Usage: trovik \[OPTION\]... \[BEAT.tbk\]' "$out" || fail "--help: $(head -2 "$out")"
grep -qx '  or:  trovik --render BEAT.tbk --output FILE \[OPTION\]...' "$out" ||
    fail "--help does not show the render's form"
[ ! -s "$err" ] || fail "--help wrote to standard error"
[ "$(run "$program" --version)" = 0 ] || fail "--version failed"
grep -Eqx 'trovik [0-9]+\.[0-9]{2}\.[0-9]{4}' <(head -1 "$out") || fail "--version printed: $(cat "$out")"
grep -q '^License GPL-3.0-or-later' "$out" || fail "--version names no licence"
for mistake in "--bogus" "--render" "--loops 2" "a.tbk b.tbk" "--render b -o o --loops 0" \
    "--render b -o o --loops -1" "--render b -o o --loops abc" "--render b -o o --rate 7999" \
    "--render b -o o --rate 192001"; do
    # shellcheck disable=SC2086  # the words of each mistake are its arguments
    [ "$(run "$program" $mistake)" = 2 ] || fail "'$mistake' did not end with status 2"
    [ ! -s "$out" ] || fail "'$mistake' wrote to standard output"
    [ "$(sed -n '$=' "$err")" = 2 ] || fail "'$mistake' said: $(cat "$err")"
    grep -q "^trovik: " "$err" || fail "'$mistake' said: $(cat "$err")"
    [ "$(tail -1 "$err")" = "Try 'trovik --help' for more information." ] ||
        fail "'$mistake' did not point to --help"
done
for asked in --help --version; do
    status=0
    "$program" "$asked" >&- 2>"$err" || status=$?
    [ "$status" = 1 ] || fail "$asked to a closed output: status $status"
    [ "$(sed -n '$=' "$err")" = 1 ] || fail "$asked to a closed output said: $(cat "$err")"
    # A file that may not grow: the write fails (with the signal it would send ignored).
    [ "$(trap '' XFSZ && ulimit -f 0 && run "$program" "$asked")" = 1 ] ||
        fail "$asked that cannot write: not status 1"
done
echo "help, version and usage errors as $(id -un): OK"
[ "${2:-}" != usage-only ] || exit 0
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    setpriv --reuid=65534 --regid=65534 --clear-groups "$0" "$program" usage-only
fi

# No display at all, and a display that is not there.
mkdir "$e2e_dir/cores"
for display in none :87; do
    status=$(cd "$e2e_dir/cores" && ulimit -c unlimited &&
        if [ $display = none ]; then
            run env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program"
        else
            run env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=$display "$program"
        fi)
    [ "$status" = 1 ] || fail "without a display ($display) the status was $status: $(cat "$err")"
    [ "$(wc -l <"$err")" = 1 ] || fail "without a display ($display) it said: $(cat "$err")"
    grep -q 'no display' "$err" || fail "without a display ($display) it said: $(cat "$err")"
done
[ -z "$(ls "$e2e_dir/cores")" ] || fail "a core was dumped"
echo "without a display: $(cat "$err")"

# The beat opened from the command line, then saved as it stands.
beats="$e2e_dir/beats"
mkdir -p "$beats/sub"
printf '%s\r\n' '"Opened, from the shell","Me","Info",230' \
    '"O","","","","O","","",""' '"O","","","","O","","","","",""' \
    '"","O","","","","","","","","O"' '"","","","","","","","","",""' \
    '"","","","","O","","","","","X"' >"$beats/sub/start.tbk"
# Its name is no UTF-8, and is opened byte for byte all the same.
cp "$beats/sub/start.tbk" "$beats/sub/start"$'\xe9'".tbk"
e2e_start_x
LC_ALL=C.UTF-8 SDL_AUDIODRIVER=dummy e2e_start_program "$program" "$beats" "sub/start"$'\xe9'".tbk"
# Text2 (299, 28, 124 x 20): the file name to save to, then Save (545, 28, 42 x 39).
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 360 38 click 1
xdotool key ctrl+a type "saved.tbk"
xdotool mousemove --window "$window" 566 47 click 1
e2e_poll test -s "$beats/saved.tbk" || fail "Save wrote nothing"
e2e_poll cmp -s "$beats/sub/start.tbk" "$beats/saved.tbk" ||
    { cmp "$beats/sub/start.tbk" "$beats/saved.tbk"; fail "the saved beat differs"; }
echo "opened from the command line and saved back the same: OK"
