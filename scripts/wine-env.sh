# shellcheck shell=bash
# Sourced (not run) before the Windows tests: `source scripts/wine-env.sh`, then `ctest --test-dir build/win64`.
# A Wine prefix of our own inside the build tree, so that runs never touch ~/.wine and a clean build starts afresh.
# Programs run with "$KELVARO_WINE" PROGRAM, Wine's 64-bit loader (see wine64.sh), as CTest runs them.

KELVARO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export KELVARO_WINE="${KELVARO_ROOT}/scripts/wine64.sh"
export WINEPREFIX="${KELVARO_ROOT}/build/wineprefix"
export WINEDEBUG=-all
# Wine keeps Windows file names in Linux names in the locale's character set: names in any script need UTF-8, which a
# bare environment (no LANG) does not give.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
    *.UTF-8 | *.utf8 | *.UTF8 | *.utf-8) ;;
    *) export LC_ALL=C.UTF-8 ;;
esac
# No Mono or Gecko: the tests need neither, and their installers would prompt and stall.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "${WINEPREFIX}/system.reg" ]; then
    mkdir -p "${WINEPREFIX}"
    # The console programs under test need no display; wineboot works without one too.
    "$KELVARO_WINE" wineboot -i >/dev/null 2>&1
    wineserver -w
fi
# Wine's own fonts (MS Sans Serif, Tahoma, Marlett...): this Wine (Debian's 8.0) never reads its data directory's
# fonts (/usr/share/wine/fonts), only C:\windows\Fonts, the registry and fontconfig, and its wineboot leaves
# C:\windows\Fonts empty. Without them every face falls back to a Linux one (Liberation Sans): the dialog's
# "MS Sans Serif" 8 labels come out wider than their rectangles and get clipped, and the caption buttons show
# Marlett's letters ("r" for the close cross) in that font.
kelvaro_fonts="${WINEPREFIX}/drive_c/windows/Fonts"
if [ ! -f "${kelvaro_fonts}/marlett.ttf" ]; then
    for kelvaro_wine_fonts in /usr/share/wine/fonts /usr/local/share/wine/fonts /opt/wine*/share/wine/fonts; do
        if [ -f "${kelvaro_wine_fonts}/marlett.ttf" ]; then
            mkdir -p "${kelvaro_fonts}"
            for kelvaro_font in "${kelvaro_wine_fonts}"/*; do
                [ -e "${kelvaro_fonts}/${kelvaro_font##*/}" ] || cp "${kelvaro_font}" "${kelvaro_fonts}/"
            done
            break
        fi
    done
    [ -f "${kelvaro_fonts}/marlett.ttf" ] || echo "wine-env.sh: Wine's fonts not found (package fonts-wine); dialogs will use substitute fonts" >&2
    unset kelvaro_wine_fonts kelvaro_font
fi
unset kelvaro_fonts
