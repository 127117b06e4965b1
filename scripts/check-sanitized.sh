#!/usr/bin/env bash
# Builds the beat file tests and the reader's fuzz target with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer, runs the tests, then
# fuzzes the reader for TROVIK_FUZZ_SECONDS (60 unless set).
set -euo pipefail
cd "$(dirname "$0")/.."
sanitizers="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-sanitized -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="$sanitizers" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DTROVIK_FUZZ_SECONDS="${TROVIK_FUZZ_SECONDS:-60}" >/dev/null
cmake --build build-sanitized -j"$(nproc)" --target beatfile_tests beatfile_reader_fuzz
cd build-sanitized
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
    ctest --output-on-failure --timeout 600 -R BeatFile
