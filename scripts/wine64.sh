#!/usr/bin/env bash
# Runs an x86_64 Windows program (or a Wine tool: wineboot, reg, cmd) with Wine's 64-bit loader:
#   scripts/wine64.sh PROGRAM [ARGS...]
# Not through the `wine` launcher: where Debian's wine32:i386 is installed beside wine64, as it usually is on a
# desktop, that launcher starts the 32-bit loader instead, and the loader that starts Wine's own tools (cmd, reg,
# wineboot) decides whether they run as 32- or 64-bit programs in our 64-bit prefix. Calling the 64-bit loader by
# name runs the same Wine the same way whether or not wine32 is there. The exit status is the program's.
# KELVARO_WINE64 names another loader.
set -euo pipefail
loader=${KELVARO_WINE64:-}
if [ -z "$loader" ]; then
    # wine64 on the PATH (WineHQ's packages), Debian's private copy, WineHQ's /opt trees.
    for candidate in "$(command -v wine64 || true)" /usr/lib/wine/wine64 /opt/wine-{stable,staging,devel}/bin/wine64; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then
            loader=$candidate
            break
        fi
    done
fi
if [ -z "$loader" ]; then
    # A Wine built for the new WoW64 mode has no wine64: its `wine` is the 64-bit loader.
    exec wine "$@"
fi
# As Debian's launcher does when it picks wine64 itself: the processes this one starts get the same loader.
export WINELOADER=$loader
exec "$loader" "$@"
