#!/usr/bin/env bash
# Tells Wine to manage the windows of the named programs itself (no X window manager), for a virtual display such
# as Xvfb that has none: Wine then draws their frames and captions, and stops waiting up to 2 s on every hidden
# window for a manager that never answers. Needs WINEPREFIX (scripts/wine-env.sh). Usage: wine-without-wm.sh A.exe...
# With --undo, hands the windows back to the window manager of a real desktop.
set -euo pipefail
value=N
if [ "${1:-}" = "--undo" ]; then
    value=Y
    shift
fi
wine64="$(dirname "$0")/wine64.sh"
for program in "$@"; do
    "$wine64" reg add "HKCU\\Software\\Wine\\AppDefaults\\${program}\\X11 Driver" /v Managed /d "$value" /f \
        >/dev/null 2>&1
done
