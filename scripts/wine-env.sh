# Sourced (not run) before the Windows tests: `source scripts/wine-env.sh`, then `ctest --test-dir build/win64`.
# A Wine prefix of our own inside the build tree, so that runs never touch ~/.wine and a clean build starts afresh.

KELVARO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${KELVARO_ROOT}/build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko: the tests need neither, and their installers would prompt and stall.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "${WINEPREFIX}/system.reg" ]; then
    mkdir -p "${WINEPREFIX}"
    # The console programs under test need no display; wineboot works without one too.
    wine wineboot -i >/dev/null 2>&1
    wineserver -w
fi
