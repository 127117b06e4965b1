#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs the unit and end-to-end tests.
# Changes nothing on the machine but the packages it installs.
#
#   ./test.sh         the fast loop: build, unit tests, end-to-end tests
#   ./test.sh --all   also the format check, clang-tidy, AddressSanitizer and
#                     UndefinedBehaviorSanitizer with fuzzing, ThreadSanitizer,
#                     valgrind, and the Debian package built, installed,
#                     played and removed again
set -euo pipefail
cd "$(dirname "$0")"
all=false
if [ "${1:-}" = "--all" ]; then
    all=true
    shift
fi
timed() {
    local start=$SECONDS
    "$@"
    echo "== $* took $((SECONDS - start)) s"
}
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

if $all; then
    scripts/install-deps.sh --all
else
    scripts/install-deps.sh --test
fi
# The benchmarks are built by the full run only: the quick loop runs no
# benchmark.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROVIK_BUILD_BENCHMARKS="$all" \
    "${launcher[@]}" >/dev/null
timed cmake --build build -j"$(nproc)"
(cd build && timed env QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
    ctest --output-on-failure --timeout 600 --no-tests=error -j"$(nproc)" "$@")
if $all; then
    timed scripts/check-format.sh
    timed scripts/check-tidy.sh
    timed scripts/check-sanitized.sh
    timed scripts/check-thread-sanitized.sh
    timed scripts/check-valgrind.sh build
    timed scripts/check-package.sh build
fi
