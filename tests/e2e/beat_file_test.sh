#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: Load and Save in the real program in a real X server, worked
# with the mouse and keyboard through their dialogs.
#
#   pipe: the file name at Load is a named pipe. With no writer, and again
#         with a writer holding bytes, Load shows its error message (a hang
#         would show none); the bytes stay unread in the pipe, and the window
#         still answers afterwards: Load asks for a name again.
#   long: a beat file whose name and info are 100,000 characters long (the
#         author 32,768, a cell 40,000) loads, and Save writes the very same
#         bytes under another name.
#
# usage: beat_file_test.sh <trovik-executable> pipe|long
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
case=$2
source "$here/../../scripts/session.sh"

beats="$e2e_dir/beats"
mkdir -p "$beats"

# The dialogs' title differs from the window's only in case, which xdotool's
# search ignores, so the dialogs are the matching windows but the main one.
dialogs() {
    xdotool search --onlyvisible --name '^Trovik beat maker$' 2>/dev/null | grep -vx "$window" || true
}
# Waits for a dialog other than the ones named in $1; prints its id.
new_dialog() { dialogs | grep -vxF -e "${1:-none}" | head -n 1 | grep .; }
wait_dialog() { e2e_poll new_dialog "$@" || { echo "no dialog came up" >&2; return 1; }; }
no_dialog() { [ -z "$(dialogs)" ]; }
wait_no_dialog() { e2e_poll no_dialog || { echo "a dialog stayed up" >&2; return 1; }; }
# Presses a key in the given window.
press() { xdotool windowfocus --sync "$1" key "$2"; }
click_load() { xdotool mousemove --window "$window" 575 12 click 1; }

# Load of the name the prompt suggests, mybeat.tbk: the prompt is accepted as
# it comes up. Prints the id of the dialog that follows, if any.
load_suggested_name() {
    click_load
    local prompt
    prompt=$(wait_dialog)
    press "$prompt" Return
    echo "$prompt"
}

start_program() {
    e2e_start_x
    SDL_AUDIODRIVER=dummy e2e_start_program "$program" "$beats"
}

case "$case" in
pipe)
    mkfifo "$beats/mybeat.tbk"
    start_program
    for writer in none holding-bytes; do
        if [ "$writer" = holding-bytes ]; then
            exec 3<>"$beats/mybeat.tbk"  # read and write end: opening it never waits
            printf 'unread' >&3
        fi
        prompt=$(load_suggested_name)
        message=$(wait_dialog "$prompt")
        press "$message" Return
        wait_no_dialog
        echo "pipe with writer $writer: the error message came up and went"
    done
    IFS= read -r -t 5 -N 6 left <&3
    [ "$left" = unread ] || { echo "the pipe was read: '$left' left" >&2; exit 1; }
    # Still answering: Load asks again, and Escape cancels it.
    click_load
    press "$(wait_dialog)" Escape
    wait_no_dialog
    echo "beat file pipe: OK"
    ;;
long)
    python3 - "$beats/mybeat.tbk" <<'EOF'
import sys
def text(pattern, length):
    return (pattern * (length // len(pattern) + 1))[:length]
name = text(b"Beat, \xe9\x80 ", 100000)  # Windows-1252: e acute and the euro sign
info = text(b"Info\t", 100000)
cells = [b'"O"' if n % 3 == 0 else b'""' for n in range(48)]
cells[7] = b'"%s"' % text(b"O ", 40000)
lines = [b'"%s","%s","%s",150' % (name, text(b"a", 32768), info)]
start = 0
for size in (8, 10, 10, 10, 10):
    lines.append(b",".join(cells[start:start + size]))
    start += size
with open(sys.argv[1], "wb") as f:
    f.write(b"".join(line + b"\r\n" for line in lines))
EOF
    start_program
    load_suggested_name >/dev/null
    wait_no_dialog
    # Text2 (299, 28, 124 x 20): the file name to save to, then Save (545, 28, 42 x 39).
    xdotool windowfocus --sync "$window"
    xdotool mousemove --window "$window" 360 38 click 1
    xdotool key ctrl+a type "copy.tbk"
    xdotool mousemove --window "$window" 566 47 click 1
    saved_same() { cmp -s "$beats/mybeat.tbk" "$beats/copy.tbk"; }
    if ! e2e_poll saved_same; then
        [ -z "$(dialogs)" ] || { echo "an error message came up" >&2; exit 1; }
        cmp "$beats/mybeat.tbk" "$beats/copy.tbk" || true
        echo "Save did not write the same bytes to copy.tbk in 30 s" >&2
        exit 1
    fi
    [ -z "$(dialogs)" ] || { echo "an error message came up" >&2; exit 1; }
    echo "beat file of $(stat -c %s "$beats/copy.tbk") bytes loaded and saved back the same"
    echo "beat file long texts: OK"
    ;;
*)
    echo "usage: $0 <trovik-executable> pipe|long" >&2
    exit 2
    ;;
esac
