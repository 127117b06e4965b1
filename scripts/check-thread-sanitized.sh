#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the sound, sequencer and browser tests with clang under
# ThreadSanitizer and runs them: the mixer's two-thread stress test, the
# engine with a real audio thread, the device keeper, the decoder thread and
# the directory readers' worker threads. Any data race fails the run; what
# Qt and the system libraries (built without TSan) do unseen is suppressed
# by tools/measure/tsan.supp and, these tests being short, by passing over
# what Qt Core's own code copies, allocates and frees (called_from_lib): its
# lists move between its threads under futexes, in functions without a name
# that no report suppression can match. The soak cannot do that for half an
# hour (the runtime stalls; docs/PERFORMANCE.md).
#
# usage: scripts/check-thread-sanitized.sh [build-dir]   (build-tsan unless given)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-tsan}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
    -DTROVIK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target sound_tests sequencer_tests browser_tests
suppressions=$(cd "$build" && pwd)/tsan-check.supp
{
    cat tools/measure/tsan.supp
    echo 'called_from_lib:libQt6Core.so.6'
} >"$suppressions"
cd "$build"
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy TSAN_OPTIONS="halt_on_error=1:suppressions=$suppressions" \
    ctest --output-on-failure --timeout 600 --no-tests=error -L 'sound_tests|sequencer_tests|browser_tests'
