#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks what a user installs. Packs a built tree as a Debian package,
# validates the desktop entry, the icons, the AppStream metadata (with its
# project licence), the copyright file and the manual page it ships, checks on its files that a file manager takes a .tbk
# file for a beat file and opens it with the program, installs it into this
# machine with apt-get, which pulls in its run-time libraries, and checks that
# the installed program plays the bass sample it ships and that the system's
# MIME and desktop databases have learnt the beat file type.
# The package is removed again afterwards unless it was installed before;
# then the type must be gone from the databases.
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
if ! grep -q '<project_license>GPL-3.0-or-later</project_license>' \
    "$contents"/usr/share/metainfo/*.metainfo.xml; then
    echo "the AppStream metadata names no project licence GPL-3.0-or-later" >&2
    exit 1
fi
# The licence in Debian's machine-readable copyright format: its header, and
# every License field it uses with its text.
copyright="$contents/usr/share/doc/trovik/copyright"
if ! head -1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    ! grep -qx 'License: GPL-3+' "$copyright"; then
    echo "the package has no machine-readable copyright file naming GPL-3+" >&2
    exit 1
fi
for size in 16 32 64 128; do
    for icon in apps/trovik.png mimetypes/application-x-trovik-beat.png; do
        icon="$contents/usr/share/icons/hicolor/${size}x${size}/$icon"
        if [ "$(identify -format '%wx%h' "$icon")" != "${size}x${size}" ]; then
            echo "$icon is not a ${size}x${size} image" >&2
            exit 1
        fi
    done
done

# The manual page is there, compressed, and groff formats it without a warning.
man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l \
    "$contents/usr/share/man/man1/trovik.1.gz" 2>&1 >/dev/null)
if [ -n "$man_warnings" ]; then
    echo "trovik.1: $man_warnings" >&2
    exit 1
fi

# What a file manager sees, asked through xdg-mime as a plain desktop
# (perl's File::MimeInfo reads the MIME database) and as GNOME (GIO reads
# it), in an empty home so that no one's own choices count.
desktop_home="$contents/home"
mkdir "$desktop_home"
printf '"Beat name here","Author","Info",150\r\n' >"$desktop_home/some.tbk"
as_desktop() {
    env -i PATH=/usr/bin:/bin HOME="$desktop_home" XDG_DATA_DIRS="$1" "${@:2}"
}
expect() {
    local wanted=$1 got
    got=$("${@:2}")
    if [ "$got" != "$wanted" ]; then
        echo "${*:2}: gives '$got', not '$wanted'" >&2
        exit 1
    fi
}
# A beat file's type as the MIME database of the given data folders tells
# it, with no desktop and as GNOME, and the program that opens the type as
# their desktop database tells it (the same on both).
expect_beat_file_type() {
    local data_dirs=$1 type=$2 application=$3 desktop
    for desktop in "" GNOME; do
        expect "$type" as_desktop "$data_dirs" XDG_CURRENT_DESKTOP="$desktop" \
            xdg-mime query filetype "$desktop_home/some.tbk"
    done
    expect "$application" as_desktop "$data_dirs" \
        xdg-mime query default application/x-trovik-beat
}
package_data="$contents/usr/share"
XDG_DATA_DIRS="$package_data:/usr/share" update-mime-database "$package_data/mime"
update-desktop-database "$package_data/applications"
expect_beat_file_type "$package_data:/usr/share" application/x-trovik-beat trovik.desktop

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
remove_package() {
    "${sudo_cmd[@]}" apt-get remove -y -qq -o DPkg::Lock::Timeout=300 trovik
}
installed_before=$(dpkg-query -W -f='${Status}' trovik 2>/dev/null || true)
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    -o DPkg::Lock::Timeout=300 "$package"
if [[ "$installed_before" != *"install ok installed"* ]]; then
    trap 'rm -rf "$contents"; remove_package' EXIT
fi

# The file triggers of shared-mime-info and desktop-file-utils have updated
# the system's databases.
expect_beat_file_type /usr/share application/x-trovik-beat trovik.desktop

tests/e2e/bass_hits_test.sh /usr/bin/trovik "$build/tools/measure/onsets" /usr/share/trovik/bass.wav 4

if [[ "$installed_before" != *"install ok installed"* ]]; then
    trap 'rm -rf "$contents"' EXIT
    remove_package
    expect_beat_file_type /usr/share text/plain ""
fi
