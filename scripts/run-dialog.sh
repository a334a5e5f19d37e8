#!/usr/bin/env bash
# `make run`: opens Kelvaro.exe (the 64-bit build) under Wine, in its own prefix under build/, working in
# build/run-dialog so that its kv.ini lands there. Without a display it runs the dialog on a virtual one (Xvfb),
# saves a screenshot and prints where it is. Expects `make build` to have run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="${KELVARO_PROGRAM:-$root/build/win64/Kelvaro.exe}"
work="$root/build/run-dialog"
shot="$root/build/screenshots/kelvaro-dialog.png"
[ -f "$program" ] || { echo "run-dialog: $program is missing; run 'make build' first" >&2; exit 1; }
source "$root/scripts/wine-env.sh"
mkdir -p "$work"
[ -f "$work/film.srt" ] || cp "$root/samples/film.srt" "$work/film.srt"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    "$root/scripts/wine-without-wm.sh" --undo Kelvaro.exe
    echo "Opening Kelvaro under Wine (working directory $work); close it to return."
    cd "$work" && exec "$KELVARO_WINE" "$program"
fi

echo "No display (DISPLAY is unset or unreachable): running the dialog on a virtual display and saving a screenshot."
# Starts Kelvaro on a virtual display, waits for its window, saves the whole screen to $shot, then closes it.
screenshot() {
    "$root/scripts/wine-without-wm.sh" Kelvaro.exe
    (cd "$work" && exec "$KELVARO_WINE" "$program") &
    local kelvaro=$!
    for _ in $(seq 100); do
        xdotool search --name '^Kelvaro v' >/dev/null 2>&1 && break
        sleep 0.1
    done
    sleep 1
    mkdir -p "$(dirname "$shot")"
    import -silent -window root "$shot"  # xwd -root blacks out overlapping Wine windows
    kill "$kelvaro" 2>/dev/null || true
    wait "$kelvaro" 2>/dev/null || true
}
export -f screenshot
export root program work shot
"$root/scripts/with-display.sh" bash -c screenshot
echo "Screenshot: $shot"
echo "Command-line equivalent of a run (2.5 s later, on a copy of the sample):"
echo "  build/native/kelvaro-cli --add 0:00:02,500 build/run-dialog/film.srt"
echo "  or under Wine: wine build/win64/kelvaro-cli.exe --add 0:00:02,500 build/run-dialog/film.srt"
