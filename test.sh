#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the
# static checks, the sanitizer and valgrind runs, the Debian package installed
# and played, then the unit and end-to-end tests.
set -euo pipefail
cd "$(dirname "$0")"
timed() {
    local start=$SECONDS
    "$@"
    echo "== $* took $((SECONDS - start)) s"
}
scripts/install-deps.sh --with-e2e
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
timed cmake --build build -j"$(nproc)"
timed scripts/check-tidy.sh
timed scripts/check-sanitized.sh
timed scripts/check-valgrind.sh build
timed scripts/check-package.sh build
cd build
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ctest --output-on-failure --timeout 600 "$@"
