#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs clang-tidy with the checks in .clang-tidy over the program's sources
# (the libraries, the executable and the build tools; not the tests) and
# fails on any warning. Only configures its build folder: nothing is compiled.
#
# usage: scripts/check-tidy.sh [build-dir]   (build-tidy unless given)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-tidy}
# No precompiled headers: nothing is compiled here, so there would be none
# for the compile commands to name.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DTROVIK_BUILD_TESTS=OFF \
    -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON >/dev/null
run-clang-tidy -quiet -j "$(nproc)" -p "$build" \
    "$PWD/(app|lockfree|sound|sequencer|sync|beatfile|browser|render|ui|tools/generate|tools/measure)/[^/]+\.cpp$"
