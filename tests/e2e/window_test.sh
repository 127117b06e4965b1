#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: the real program in a real X server, checked from a screenshot
# of its window as it opens, which stays in the given folder. What clicks on
# the controls do is checked by the window unit test.
#
# usage: window_test.sh <trovik-executable> <window_shot_check-executable> <screenshot-folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1 check=$2 shots=$3
source "$here/../../scripts/session.sh"
mkdir -p "$shots"
rm -f "$shots"/*.png

e2e_start_x
SDL_AUDIODRIVER=dummy e2e_start_program "$program"

# The window may still be painting when it appears: look again, for up to
# 30 s, before calling a difference a failure.
shot_passes() { import -window "$window" "$shots/start.png" && "$check" "$shots/start.png" >"$shots/check.txt"; }
e2e_poll shot_passes || { cat "$shots/check.txt"; exit 1; }
echo "window: all checks passed; screenshot in $shots"
