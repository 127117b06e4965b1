# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the render end-to-end tests with their arguments, the trovik
# executable first and the sample folder last: sets program and samples and
# the shell's strict mode, and gives fail and the worked example beat.
set -euo pipefail
program=$1
samples=${!#}

# Ends the test, saying why, with the sound session's logs when there is one.
fail() {
    echo "FAIL: $1" >&2
    if declare -F e2e_show_logs >/dev/null; then e2e_show_logs; fi
    exit 1
}

# The worked example beat file: interval 150, bass steps 1, 5, 9 and 13,
# snare steps 13 and 5 (the snare row's cells run from step 16 down).
render_write_worked_example() {
    printf '"Beat name here","Author","Info",150\r\n"O","","","","O","","",""\r\n"O","","","","O","","","","",""\r\n"","O","","","","","","","","O"\r\n"","","","","","","","","",""\r\n"","","","","","","","","",""\r\n' >"$1"
}
