#!/usr/bin/env bash
# Runs an i686 Windows program under the 32-bit Wine of the i386 chroot that scripts/test-i686.sh sets up and mounts,
# from the current directory, which must lie inside the source tree (mounted at the same path in the chroot):
#   scripts/wine-i686.sh PROGRAM.exe [ARGS...]      `wine PROGRAM.exe ARGS...` in the chroot
#   scripts/wine-i686.sh --exec COMMAND [ARGS...]   any command there, in the same environment (wineserver, ...)
# Standard streams and the exit status pass through. Runs as root; KELVARO_CHROOT names the chroot, DISPLAY an X
# server whose socket is in /tmp/.X11-unix (test-i686.sh mounts that directory in the chroot).
set -euo pipefail
root_fs=${KELVARO_CHROOT:-/var/cache/kelvaro-chroot/bookworm-i386}
if [ ! -e "$root_fs/proc/self" ]; then
    echo "wine-i686.sh: the chroot $root_fs is not mounted; scripts/test-i686.sh runs programs in it" >&2
    exit 125
fi
if [ "${1:-}" = "--exec" ]; then
    shift
else
    set -- wine "$@"
fi
# A UTF-8 locale, as on the host: Wine stores Windows names in Linux file names in the locale's character set, and in
# the plain C locale a Hebrew or CJK name cannot be stored at all.
# shellcheck disable=SC2016 # the chroot's shell expands them
exec chroot "$root_fs" /usr/bin/env -i HOME=/root PATH=/usr/bin:/bin DISPLAY="${DISPLAY:-}" LANG=C.UTF-8 \
    WINEPREFIX=/root/pfx32 WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    /bin/sh -c 'cd "$0" && exec "$@"' "$PWD" "$@"
