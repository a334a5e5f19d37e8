#!/usr/bin/env bash
# Runs the Windows tests (build/win64) under Wine on a display, with one Wine server for the whole run. Without it
# every test program starts a server that outlives it while holding CTest's output pipe, and CTest waits seconds for
# each test to let go.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/wine-env.sh"
run() {
    wineserver -p 30 </dev/null >/dev/null 2>&1
    # Wine's desktop process also lives on after its first program; let it start here, outside CTest.
    "$KELVARO_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
    local status=0
    ctest --test-dir "$root/build/win64" --output-on-failure "$@" || status=$?
    wineserver -k >/dev/null 2>&1 || true
    return $status
}
export -f run
export root
exec "$root/scripts/with-display.sh" bash -c 'run "$@"' run "$@"
