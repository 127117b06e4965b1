#!/usr/bin/env bash
# Runs every unit test executable of a built tree once under valgrind's
# memcheck (all of its tests in one process) and fails on any memory error or
# any definite or possible leak. There are no suppressions: with the offscreen
# platform Qt, fontconfig and X report nothing. Should they one day, put
# suppressions for exactly those libraries in a file with the reason for each
# and pass it with --suppressions; never suppress an error in our own code.
#
# usage: scripts/check-valgrind.sh [build-dir]   (build unless given; built already)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

# The same executables ctest runs, end-to-end tests and the fuzz target aside.
mapfile -t executables < <(cd "$build" && ctest -LE e2e --show-only=json-v1 | python3 -c '
import json, sys
commands = [t["command"] for t in json.load(sys.stdin)["tests"] if "command" in t]
print("\n".join(sorted({c[0] for c in commands if any(a.startswith("--gtest_filter") for a in c)})))')
if [ ${#executables[@]} -eq 0 ]; then
    echo "no unit test executables found in $build" >&2
    exit 1
fi

failed=0
for executable in "${executables[@]}"; do
    name=$(basename "$executable")
    log="$build/valgrind-$name.log"
    echo "valgrind: $name"
    if ! (cd "$build/tests" && QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
            valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
                --num-callers=40 --log-file="$log" \
                "$executable" --gtest_brief=1 >"$build/valgrind-$name.out" 2>&1); then
        echo "  failed: see $log and $build/valgrind-$name.out" >&2
        failed=1
    fi
    grep -h "ERROR SUMMARY" "$log"
done
exit "$failed"
