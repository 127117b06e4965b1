#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages that building, running and testing need.
# Only what is missing is installed; a machine that has everything is left alone.
#
# usage: scripts/install-deps.sh [--test | --all]
#   (none)  what building and running the program needs (./run.sh)
#   --test  also what the unit and end-to-end tests need (./test.sh)
#   --all   also what the other checks need (./test.sh --all)
set -euo pipefail

build_packages=(cmake g++ make pkg-config qt6-base-dev libsdl2-dev libsndfile1-dev libjack-jackd2-dev
                libpulse-dev ableton-link-dev)
run_packages=(libqt6widgets6 libsdl2-2.0-0 libsndfile1 libjack-jackd2-0 libpulse0 fonts-dejavu-core
              fonts-liberation2)
# PipeWire's PulseAudio protocol comes with libpipewire-0.3-modules; the
# package pipewire-pulse would remove pulseaudio, which the other tests need.
test_packages=(libgtest-dev python3 xvfb xdotool x11-utils imagemagick pulseaudio
               pulseaudio-utils sox pipewire pipewire-bin libpipewire-0.3-modules
               libspa-0.2-modules wireplumber dbus libasound2-plugins jackd2
               ableton-link-utils pulseaudio-module-jack)
# The benchmarks (built whenever Google Benchmark is there); clang with
# libFuzzer and the address, undefined-behaviour and thread sanitizers;
# valgrind's memcheck; clang-tidy and clang-format; the Debian package (CPack
# runs dpkg-shlibdeps and file), the validators of its desktop entry and
# AppStream metadata, man and groff for its manual page, and the MIME and
# desktop databases with the two readers of them that xdg-mime asks (perl's
# File::MimeInfo on a plain desktop, GIO's gio on GNOME).
all_packages=(libbenchmark-dev clang libclang-rt-dev valgrind clang-tidy clang-format
              dpkg-dev file desktop-file-utils appstream man-db groff-base
              shared-mime-info xdg-utils libfile-mimeinfo-perl libglib2.0-bin)

wanted=("${build_packages[@]}" "${run_packages[@]}")
case "${1:-}" in
    "") ;;
    --test) wanted+=("${test_packages[@]}") ;;
    --all) wanted+=("${test_packages[@]}" "${all_packages[@]}") ;;
    *)
        echo "usage: $0 [--test | --all]" >&2
        exit 2
        ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
