#!/usr/bin/env bash
# Checks what a user installs. Packs a built tree as a Debian package,
# validates the desktop entry, the icons and the AppStream metadata it ships,
# installs it into this machine with apt-get, which pulls in its run-time
# libraries, and checks that the installed program plays the bass sample it
# ships.
# The package is removed again afterwards unless it was installed before.
#
# usage: scripts/check-package.sh [build-dir]   (build unless given; built already)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

rm -f "$build"/trovik_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package=$(echo "$build"/trovik_*_*.deb)
echo "Built $(basename "$package")"
dpkg-deb --field "$package" Depends

contents=$(mktemp -d -t trovik-package.XXXXXX)
trap 'rm -rf "$contents"' EXIT
dpkg-deb --extract "$package" "$contents"
desktop-file-validate "$contents/usr/share/applications/trovik.desktop"
appstreamcli validate --no-net --pedantic "$contents"/usr/share/metainfo/*.metainfo.xml
for size in 16 32 64 128; do
    icon="$contents/usr/share/icons/hicolor/${size}x${size}/apps/trovik.png"
    if [ "$(identify -format '%wx%h' "$icon")" != "${size}x${size}" ]; then
        echo "$icon is not a ${size}x${size} image" >&2
        exit 1
    fi
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
installed_before=$(dpkg-query -W -f='${Status}' trovik 2>/dev/null || true)
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    -o DPkg::Lock::Timeout=300 "$package"
if [[ "$installed_before" != *"install ok installed"* ]]; then
    trap 'rm -rf "$contents"; "${sudo_cmd[@]}" apt-get remove -y -qq -o DPkg::Lock::Timeout=300 trovik' EXIT
fi

tests/e2e/bass_hits_test.sh /usr/bin/trovik "$build/tools/measure/onsets" /usr/share/trovik/bass.wav 4
