#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every unit test executable of a built tree once under valgrind's
# memcheck (all of its tests in one process) and fails on any invalid access,
# use of an uninitialised value, bad free or definite leak. Possible leaks are
# listed in the log but do not fail the run: a thread still alive at exit
# leaves such blocks depending on how it was scheduled. Those that Qt's and
# SDL's own threads keep are suppressed in scripts/valgrind.supp, each with
# its reason; never suppress anything that our own code allocates. Each log
# ends with the suppressions that were used.
# Valgrind runs one thread at a time; --fair-sched=yes hands the turn round
# in order, so a thread that spins waiting for another cannot starve it.
#
# usage: scripts/check-valgrind.sh [build-dir]   (build unless given; built already)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
suppressions=$PWD/scripts/valgrind.supp

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
            valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --fair-sched=yes -s \
                --errors-for-leak-kinds=definite --suppressions="$suppressions" \
                --num-callers=40 --log-file="$log" \
                "$executable" --gtest_brief=1 >"$build/valgrind-$name.out" 2>&1); then
        echo "  failed: see $log and $build/valgrind-$name.out" >&2
        # Which tests failed, and why, where the run's log can be read.
        grep -E -B3 -A3 "Failure|FAILED|terminate|Aborted" "$build/valgrind-$name.out" | head -60 >&2 || true
        # And memcheck's first reports, past its banner.
        sed -n '7,120p' "$log" >&2
        failed=1
    fi
    grep -h "ERROR SUMMARY" "$log"
done
exit "$failed"
