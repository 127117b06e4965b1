#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every test but the end-to-end ones, and
# fuzzes the beat file reader for TROVIK_FUZZ_SECONDS (60 unless set).
#
# usage: scripts/check-sanitized.sh [build-dir]   (build-sanitized unless given)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-sanitized}
sanitizers="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="$sanitizers" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DTROVIK_FUZZ_SECONDS="${TROVIK_FUZZ_SECONDS:-60}" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
    LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp print_suppressions=0" \
    ctest --output-on-failure --timeout 600 --no-tests=error -LE e2e
