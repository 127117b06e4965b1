#!/usr/bin/env bash
# Builds the sound tests with clang under ThreadSanitizer and runs them: the
# mixer's two-thread stress test, the engine with a real audio thread and the
# device keeper. Any data race fails the run.
#
# usage: scripts/check-thread-sanitized.sh [build-dir]   (build-tsan unless given)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-tsan}
sanitizer="-fsanitize=thread -fno-omit-frame-pointer"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$sanitizer" -DCMAKE_CXX_FLAGS="$sanitizer" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" -j"$(nproc)" --target sound_tests
cd "$build"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" SDL_AUDIODRIVER=dummy \
    ctest --output-on-failure --timeout 600 -R '^(Mixer|MixerStress|SoundEngine|DeviceKeeper|StreamClock|HitScheduler|WavPlayer)'
