#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when any is missing. Runs as root on a fresh machine.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev googletest libcli11-dev clang-format shellcheck
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine wine64 fonts-wine xvfb xauth x11-apps x11-utils imagemagick xdotool
    help2man dpkg-dev man-db file unzip debootstrap arch-test lintian
    # FAT and exFAT images mounted through FUSE, and strace to hold a run back (tests/cli_file_systems.sh); fusefat
    # and exfat-fuse bring fuse, or take fuse3 where it is installed: either has fusermount.
    dosfstools fusefat exfatprogs exfat-fuse strace
    # Unicode's data files for tools/gen_bidi_tables.py and GNU FriBidi as the oracle of tests/bidi_test.cpp.
    unicode-data libfribidi-bin
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
# wine32:i386 may be installed too, or not: the 64-bit programs run with the 64-bit loader either way (wine64.sh),
# and the 32-bit ones in a chroot of their own (test-i686.sh).
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Installing packages needs root: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
