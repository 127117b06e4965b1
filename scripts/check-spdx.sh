#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails, naming them, on the source files, scripts and CMake files of a tree
# that do not open with the licence line (a script's after its shebang).
# The files are git's (tracked, or new and not ignored) in a checkout, else
# every file outside the build folders. The layers check's small sample
# project is left out.
#
# usage: scripts/check-spdx.sh [folder]   (the repository unless given)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    files=$(git ls-files --cached --others --exclude-standard)
else
    files=$(find . -type d \( -name .git -o -exec test -e '{}/CMakeCache.txt' \; \) -prune \
        -o -type f -print | sed 's|^\./||')
fi

missing=0
while IFS= read -r file; do
    [ -f "$file" ] || continue
    case $file in
        tests/layers/fixture/*) continue ;;
        *.cpp | *.cc | *.h | *.hpp | *.sh | *.py | *.cmake | CMakeLists.txt | */CMakeLists.txt | *.rc.in) ;;
        *) [ "$(head -c 2 "$file")" = '#!' ] || continue ;;
    esac
    opening=$(awk 'NR == 1 && /^#!/ { next } { print; exit }' "$file")
    case $opening in
        '// SPDX-License-Identifier: GPL-3.0-or-later' | '# SPDX-License-Identifier: GPL-3.0-or-later') ;;
        *)
            echo "$file: does not open with SPDX-License-Identifier: GPL-3.0-or-later" >&2
            missing=$((missing + 1))
            ;;
    esac
done <<<"$files"

if [ "$missing" -gt 0 ]; then
    echo "$missing file(s) without the licence line" >&2
    exit 1
fi
