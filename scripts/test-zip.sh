#!/usr/bin/env bash
# Checks the Windows zip: it holds exactly Kelvaro.exe, kelvaro-cli.exe, README.txt and LICENSE.txt; the texts have
# CR LF line ends; both programs are 32-bit (PE32, Intel 80386); kelvaro-cli.exe has a version record of the zip's
# version (read back with MinGW's windres). Then it runs them from the unpacked folder with
# WINE_COMMAND: kelvaro-cli.exe --version, a re-time of a small file, and Kelvaro.exe until its window shows.
# A Wine that cannot run 32-bit programs (Debian's 64-bit Wine alone) skips the runs and says so; a 32-bit Wine (in an
# i386 chroot) runs them.
# WINE_COMMAND gets NAME.exe ARGS... and runs them in the current directory; it must exec wine, so that killing it
# ends the program. KELVARO_ZIP_WORKDIR, when set, is where the zip is unpacked: a directory that WINE_COMMAND sees at
# the same path (e.g. bind-mounted into the chroot). The dialog needs a display: the current one, or a virtual one.
# Usage: scripts/test-zip.sh ZIP WINE_COMMAND...
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Every Wine run gets the display: Wine's desktop process outlives a program, and one started without a display
# would leave the dialog started after it without a window.
if [ -z "${KELVARO_TEST_ZIP_DISPLAY:-}" ]; then
    export KELVARO_TEST_ZIP_DISPLAY=1
    exec "$root/scripts/with-display.sh" "$0" "$@"
fi
zip="$(realpath "$1")"
shift
[ $# -gt 0 ] || { echo "usage: $0 ZIP WINE_COMMAND..." >&2; exit 2; }
fail() {
    echo "test-zip: $*" >&2
    exit 1
}
version=$(basename "$zip" | sed -n 's/^Kelvaro-\(.*\)-windows\.zip$/\1/p')
[ -n "$version" ] || fail "$zip is not named Kelvaro-VERSION-windows.zip"

work=$(mktemp -d "${KELVARO_ZIP_WORKDIR:-${TMPDIR:-/tmp}}/kelvaro-zip.XXXXXX")
trap 'rm -rf "$work"' EXIT
dir="$work/Kelvaro"
mkdir "$dir"
unzip -q "$zip" -d "$dir"

contents=$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
[ "$contents" = "Kelvaro.exe LICENSE.txt README.txt kelvaro-cli.exe " ] || fail "the zip holds: $contents"
file -b "$dir/Kelvaro.exe" | grep -q '^PE32 executable (GUI) Intel 80386' ||
    fail "Kelvaro.exe is not a 32-bit Windows GUI program: $(file -b "$dir/Kelvaro.exe")"
file -b "$dir/kelvaro-cli.exe" | grep -q '^PE32 executable (console) Intel 80386' ||
    fail "kelvaro-cli.exe is not a 32-bit Windows console program: $(file -b "$dir/kelvaro-cli.exe")"
record=$(i686-w64-mingw32-windres -i "$dir/kelvaro-cli.exe" -O rc 2>&1) ||
    fail "kelvaro-cli.exe has no resources that windres can read: $record"
for line in "FILEVERSION ${version//./, }" 'VALUE "FileDescription", "Kelvaro command line"' \
    "VALUE \"FileVersion\", \"$version\"" 'VALUE "OriginalFilename", "kelvaro-cli.exe"'; do
    grep -qF "$line" <<<"$record" || fail "the version record of kelvaro-cli.exe has no '$line'"
done
for text in README.txt LICENSE.txt; do
    lines=$(tr -cd '\n' <"$dir/$text" | wc -c)
    if [ "$lines" -eq 0 ] || [ "$(grep -c $'\r$' "$dir/$text")" -ne "$lines" ] ||
        [ "$(tail -c 1 "$dir/$text" | od -An -tx1 | tr -d ' ')" != 0a ]; then
        fail "$text does not end every line with CR LF"
    fi
done
grep -q "^Kelvaro $version" "$dir/README.txt" || fail "README.txt does not name Kelvaro $version"
grep -q "^Copyright (c) .* The Kelvaro developers" "$dir/LICENSE.txt" || fail "LICENSE.txt has no copyright line"
echo "test-zip: $zip holds the 32-bit programs, README.txt and LICENSE.txt with CR LF line ends"

# Debian's 64-bit Wine alone starts a 32-bit program "in experimental wow64 mode", fails, and exits 0 without a
# word; its error messages show the reason. A wrapper that resets the environment (chroot ... env -i) drops WINEDEBUG,
# which a 32-bit Wine does not need here.
status=0
(cd "$dir" && WINEDEBUG=err+all timeout 120 "$@" kelvaro-cli.exe --version >"$work/version.out" 2>"$work/version.err" \
    </dev/null) || status=$?
if [ "$(tr -d '\r' <"$work/version.out")" != "kelvaro-cli $version" ]; then
    if grep -qE 'load_wow64_ntdll|wine32 is missing' "$work/version.err"; then
        echo "test-zip: SKIPPED the runs: '$*' cannot run 32-bit Windows programs (the i686 chroot test runs them)"
        exit 0
    fi
    sed 's/^/  /' "$work/version.out" >&2
    grep -v ':fixme:' "$work/version.err" | tail -20 | sed 's/^/  /' >&2
    fail "'$* kelvaro-cli.exe --version' did not print 'kelvaro-cli $version' (exit status $status)"
fi
"$root/scripts/check-retime.sh" "$dir" timeout 120 "$@" kelvaro-cli.exe
echo "test-zip: kelvaro-cli.exe printed its version and re-timed a file under '$*'"

# Kelvaro.exe must show its window, titled with the version, and still run then.
title="^Kelvaro v${version//./\\.}( |$)"
(cd "$dir" && exec "$@" Kelvaro.exe) </dev/null >"$work/dialog.log" 2>&1 &
dialog=$!
window=""
for _ in $(seq 300); do
    window=$(xdotool search --name "$title" 2>/dev/null | head -1) && [ -n "$window" ] && break
    kill -0 "$dialog" 2>/dev/null || break
    sleep 0.1
done
running=true
kill -0 "$dialog" 2>/dev/null || running=false
kill "$dialog" 2>/dev/null || true
wait "$dialog" 2>/dev/null || true
if [ -z "$window" ] || [ "$running" = false ]; then
    grep -v ':fixme:' "$work/dialog.log" | tail -20 | sed 's/^/  /' >&2
    fail "Kelvaro.exe showed no window titled '$title' in 30 s (still running: $running)"
fi
echo "test-zip: Kelvaro.exe showed its window under '$*'"
