#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The options and environment variables that --help lists, the man page
# documents and the README's command line section names are the same.
#
# usage: option_lists_test.sh <trovik-executable> <source-folder>
set -euo pipefail
program=$1
source=$2

# The lines of $1 from the one matching $2 up to, not including, the next
# one matching $3.
section() { awk -v from="$2" -v to="$3" '$0 ~ from {on = 1; next} $0 ~ to {on = 0} on' "$1"; }
options() { sed 's/\\-/-/g' | grep -o -- '--[a-z][a-z-]*' | sort -u; }
variables() { grep -Eow 'DISPLAY|[A-Z][A-Z0-9]*_[A-Z0-9_]+' | sort -u; }

help=$(mktemp)
trap 'rm -f "$help"' EXIT
"$program" --help >"$help"
man=$source/packaging/trovik.1
readme=$source/README.md

status=0
same() {
    if [ "$2" != "$3" ] || [ "$2" != "$4" ]; then
        echo "FAIL: the $1 differ:" >&2
        diff <(echo "$2") <(echo "$3") | sed 's/^/  --help vs man: /' >&2 || true
        diff <(echo "$2") <(echo "$4") | sed 's/^/  --help vs README: /' >&2 || true
        status=1
    fi
}
same options "$(section "$help" '^Options:' '^Arguments:' | options)" \
    "$(section "$man" '^\.SH OPTIONS' '^\.SH' | options)" \
    "$(section "$readme" '^## The command line' '^## ' | options)"
same "environment variables" "$(section "$help" '^Environment:' '^$' | variables)" \
    "$(section "$man" '^\.SH ENVIRONMENT' '^\.SH' | variables)" \
    "$(section "$readme" '^## The command line' '^## ' | variables)"
[ $status = 0 ] && echo "option lists: the same in --help, the man page and the README"
exit $status
