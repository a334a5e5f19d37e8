#!/usr/bin/env bash
# Takes the screenshots of docs/: the dialog as it starts (with the sample file remembered), the dialog after a run
# with its message box, the right-to-left display dialog over a Hebrew sample, and the correct-drift dialog over the
# sample with a second cue given. The dialogs are driven with real keystrokes (xdotool) on a virtual display.
# Usage: scripts/docs-screenshots.sh [Kelvaro.exe]   (default build/win64/Kelvaro.exe)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export program="${1:-$root/build/win64/Kelvaro.exe}"
export work="$root/build/docs-run" docs="$root/docs" root
source "$root/scripts/wine-env.sh"
# The pictures show a neutral path, S:\Subtitles\film.srt, rather than this machine's: drive S: of the Wine prefix
# is mapped to a folder of the docs run for as long as the run lasts.
drive="$WINEPREFIX/dosdevices/s:"
if [ "$(readlink "$drive" || true)" = "$work/drive-s" ]; then
    rm -f "$drive"  # left by a run that was cut short
elif [ -e "$drive" ] || [ -L "$drive" ]; then
    echo "docs-screenshots: drive S: is already mapped in $WINEPREFIX" >&2
    exit 1
fi
rm -rf "$work" && mkdir -p "$work/drive-s/Subtitles"
cp "$root/samples/film.srt" "$root/samples/film-hebrew.srt" "$work/drive-s/Subtitles/"
ln -s "$work/drive-s" "$drive"
trap 'rm -f "$drive"' EXIT

shoot() {
    # The dialog and anything over it, cut from the screen with a small margin. Not with xwd: Wine gives its windows
    # a colormap of their own, which sends `xwd -root` down its multi-visual path, and that path drops a Wine window
    # stacked over another one (the message box over the dialog comes out as a black rectangle). ImageMagick's
    # import reads the screen as it is.
    local window=$1 out=$2
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -silent -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" +repage "$out"
    echo "$out"
}

# Starts Kelvaro with S:\Subtitles\NAME remembered; sets $kelvaro (the process) and $window (its dialog).
start() {
    printf 'S:\\Subtitles\\%s' "$1" >"$work/kv.ini"
    "$root/scripts/wine-without-wm.sh" Kelvaro.exe
    (cd "$work" && exec "$KELVARO_WINE" "$program") &
    kelvaro=$!
    window=$(find_window '^Kelvaro v')
    sleep 1
}

find_window() {
    local found=""
    for _ in $(seq 100); do
        found=$(xdotool search --name "$1" 2>/dev/null | head -1) && [ -n "$found" ] && break
        sleep 0.1
    done
    echo "$found"
}

stop() {
    kill "$kelvaro" 2>/dev/null || true
    wait "$kelvaro" 2>/dev/null || true
}

session() {
    start film.srt
    shoot "$window" "$docs/kelvaro-start.png"
    xdotool windowfocus --sync "$window"
    # From "...": Tab to Seconds (input, Synchronize, reduce, orientation, hours, minutes, seconds), type 2; Tab to
    # Miliseconds, 500; Tab to the checked radio button and arrow over to "Add time"; Alt+S for Synchronize.
    xdotool key --delay 80 Tab Tab Tab Tab Tab Tab Tab 2 Tab 5 0 0 Tab Left alt+s
    sleep 4
    shoot "$window" "$docs/kelvaro-after-run.png"
    xdotool key Return
    sleep 0.5
    stop

    # Alt+Space opens the system menu; Up goes to its last item, "About Kelvaro...", and on to "Restore the
    # original", "Correct drift..." and "Right-to-left display...". Escape cancels the dialog.
    start film-hebrew.srt
    xdotool windowfocus --sync "$window"
    xdotool key --delay 300 alt+space Up Up Up Up Return
    local rtl
    rtl=$(find_window '^Right-to-left display$')
    sleep 1
    shoot "$rtl" "$docs/kelvaro-rtl-display.png"
    xdotool key Escape
    sleep 0.5
    stop

    # The sample as it was before the run above. The fields open on its first cue (0:00:01,200) and its last
    # (0:00:10,000). From "Points": Tab over the first cue's two fields to the second cue's box, check it, Tab to
    # where the last cue should be and type a time that makes the speed one of 25 to 23.976 fps.
    cp "$root/samples/film.srt" "$work/drive-s/Subtitles/"
    start film.srt
    xdotool windowfocus --sync "$window"
    xdotool key --delay 300 alt+space Up Up Up Return
    local drift
    drift=$(find_window '^Correct drift$')
    sleep 1
    xdotool key --delay 80 Tab Tab Tab space Tab Tab
    xdotool type --delay 80 "0:00:10,376"
    sleep 1
    shoot "$drift" "$docs/kelvaro-correct-drift.png"
    xdotool key Escape
    sleep 0.5
    stop
}
export -f shoot start find_window stop session
env -u DISPLAY "$root/scripts/with-display.sh" bash -c session
echo "Files after the run:" && ls "$work" "$work/drive-s/Subtitles"
