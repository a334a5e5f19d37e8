#!/usr/bin/env bash
# Runs the i686 Windows build for real: kelvaro-cli.exe through the command-line end-to-end test, the unit tests when
# the tree has them, and Kelvaro.exe started once, its window compared pixel for pixel with the x86_64 build's.
# This machine's Wine is 64-bit only (and installing wine32:i386 would change the `wine` launcher for every user), so
# they run under the 32-bit Wine of an i386 Debian chroot, on a virtual display (Xvfb) of the host whose socket is
# mounted into the chroot, with the source tree mounted at its own path so that every path means the same inside.
# The chroot is built once (about a minute, 1.4 GB) and kept in KELVARO_CHROOT, outside the clone, so that fresh clones
# reuse it; one run at a time uses it. Everything mounted is unmounted on the way out, failures included. Where this
# machine cannot run 32-bit programs or the chroot cannot be built or mounted, it says so once and exits 0.
# Usage: scripts/test-i686.sh [WIN32_BUILD_DIR [WIN64_BUILD_DIR]]   (defaults build/win32 and build/win64)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
win32="$(realpath "${1:-$root/build/win32}")"
win64="$(realpath -m "${2:-$root/build/win64}")"
KELVARO_CHROOT="$(realpath -m "${KELVARO_CHROOT:-/var/cache/kelvaro-chroot/bookworm-i386}")"
export KELVARO_CHROOT
wine_i686="$root/scripts/wine-i686.sh"
run="$root/build/i686-run"
chroot_packages=(wine wine32 fonts-wine libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2
    libxrender1 libxxf86vm1 libgnutls30 libdbus-1-3)
# What the chroot was built from; one built otherwise is built again.
recipe="bookworm i386 minbase: ${chroot_packages[*]}; prefix /root/pfx32 (win32) with Wine's fonts"

skip() {
    echo "i686 run skipped: $*"
    exit 0
}
seconds_since() { echo "$(($(date +%s) - $1)) s"; }

if [ ! -f "$win32/kelvaro-cli.exe" ]; then
    echo "test-i686.sh: no $win32/kelvaro-cli.exe; run 'make windows' first" >&2
    exit 1
fi
[ "$(uname -s)" = Linux ] || skip "it needs Linux (chroot)"
[ "$(id -u)" -eq 0 ] || skip "it needs root (chroot and mounts)"
if ! command -v debootstrap >/dev/null || ! command -v arch-test >/dev/null; then
    skip "debootstrap or arch-test is missing"
fi
arch-test -n i386 >/dev/null 2>&1 || skip "this kernel cannot run 32-bit programs (arch-test -n i386 fails)"

# --- Mounts, undone in reverse order by unmount_all (the EXIT trap calls it).
mounts=()
mount_at() {  # mount options... TARGET
    mount "$@" || return 1
    mounts+=("${!#}")
}
mount_system() {  # ROOT_FS: what Wine and apt need of /proc, /dev and /sys
    mount_at -t proc proc "$1/proc" &&
        mount_at --rbind /dev "$1/dev" &&
        mount --make-rslave "$1/dev" &&  # unmounting it below must not unmount the host's /dev
        mount_at -t sysfs sysfs "$1/sys"
}
stop_processes_in() {  # ROOT_FS: whatever still runs in the chroot (a lingering wineserver) would keep mounts busy
    local proc
    for proc in /proc/[0-9]*; do
        if [ "$(readlink "$proc/root" 2>/dev/null)" = "$1" ]; then
            kill -KILL "${proc#/proc/}" 2>/dev/null || true
        fi
    done
}
unmount_all() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount -R "${mounts[i]}" 2>/dev/null || umount -R -l "${mounts[i]}" ||
            echo "test-i686.sh: cannot unmount ${mounts[i]}" >&2
    done
    mounts=()
}
mounted_below() {  # DIR: prints the mount points at or below it
    awk -v dir="$1" '$5 == dir || index($5, dir "/") == 1 { print $5 }' /proc/self/mountinfo
}
remove_chroot() {  # DIR: deletes a chroot tree, never while anything is mounted in it (the host's /dev, the sources)
    [ -e "$1" ] || return 0
    if [ -n "$(mounted_below "$1")" ]; then
        echo "test-i686.sh: $1 still has mounts ($(mounted_below "$1" | tr '\n' ' ')); not removing it" >&2
        return 1
    fi
    rm -rf --one-file-system "$1"
}

# --- The chroot, built when missing or built from another recipe.
debian_mirror() {  # the first Debian archive that apt's sources name (not the security one); empty when none
    local uri
    uri=$({
        cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '$1 == "URIs:" { print $2 }'
        cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | sed 's/\[[^]]*\]//' |
            awk '$1 == "deb" { print $2 }'
    } | grep -v security | grep -m 1 debian || true)
    echo "${KELVARO_DEBIAN_MIRROR:-$uri}"
}
build_chroot() {  # NEW_ROOT_FS LOG
    local new=$1 log=$2 mirror
    mirror=$(debian_mirror)
    if [ -z "$mirror" ]; then
        echo "apt's sources name no Debian archive; set KELVARO_DEBIAN_MIRROR" >"$log"
        return 1
    fi
    echo "Building the i386 chroot $KELVARO_CHROOT from $mirror (once; about a minute and 1.4 GB; log: $log)"
    remove_chroot "$new" || return 1
    debootstrap --arch=i386 --variant=minbase bookworm "$new" "$mirror" >"$log" 2>&1 || return 1
    mount_system "$new" || return 1
    cp /etc/resolv.conf "$new/etc/resolv.conf"
    local in_new=(chroot "$new" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin
        DEBIAN_FRONTEND=noninteractive WINEPREFIX=/root/pfx32 WINEARCH=win32 WINEDEBUG=-all
        WINEDLLOVERRIDES="mscoree,mshtml=")
    "${in_new[@]}" apt-get update -q >>"$log" 2>&1 &&
        "${in_new[@]}" apt-get install -y -q --no-install-recommends "${chroot_packages[@]}" >>"$log" 2>&1 &&
        "${in_new[@]}" apt-get clean >>"$log" 2>&1 || return 1
    rm -rf "$new/var/lib/apt/lists/"*
    # The prefix, without a display; and Wine's own fonts, which this Wine does not find by itself (see wine-env.sh).
    timeout 300 "${in_new[@]}" wine wineboot -i </dev/null >>"$log" 2>&1 &&
        timeout 60 "${in_new[@]}" wineserver -w >>"$log" 2>&1 || return 1
    "${in_new[@]}" /bin/sh -c 'cp /usr/share/wine/fonts/* /root/pfx32/drive_c/windows/Fonts/' >>"$log" 2>&1 || return 1
    stop_processes_in "$new"
    unmount_all
    echo "$recipe" >"$new/etc/kelvaro-chroot"
    remove_chroot "$KELVARO_CHROOT" && mv "$new" "$KELVARO_CHROOT"
}

# --- The tests, on the mounted chroot.
failures=0
fail() {
    echo "FAIL (i686): $*" >&2
    failures=$((failures + 1))
}
test_cli() {
    local started log="$run/cli_end_to_end.log"
    started=$(date +%s)
    mkdir -p "$run/tmp"
    # Its temporary directories inside the mounted tree, where the chroot sees them under the same names.
    if TMPDIR="$run/tmp" timeout 900 bash "$root/tests/cli_end_to_end.sh" "$root/tests/data" \
        "$wine_i686" "$win32/kelvaro-cli.exe" >"$log" 2>&1; then
        echo "i686 kelvaro-cli.exe end to end: $(tail -n 1 "$log") ($(seconds_since "$started"))"
    else
        cat "$log" >&2
        fail "kelvaro-cli.exe end to end; log: $log"
    fi
}
# The release zip as a user unpacks it, its programs run by the 32-bit Wine: the program users download is tested.
test_zip() {
    local zip log="$run/zip.log"
    zip=$(find "$root/dist" -maxdepth 1 -name 'Kelvaro-*-windows.zip' 2>/dev/null | head -n 1)
    if [ -z "$zip" ]; then
        echo "i686 release zip: none in dist/ (make dist builds it), not tried"
        return 0
    fi
    mkdir -p "$run/tmp"
    if KELVARO_ZIP_WORKDIR="$run/tmp" timeout 300 "$root/scripts/test-zip.sh" "$zip" "$wine_i686" >"$log" 2>&1; then
        echo "i686 release zip: $(tail -n 1 "$log")"
    else
        cat "$log" >&2
        fail "the release zip under 32-bit Wine; log: $log"
    fi
}
test_units() {
    local programs program name log started
    mapfile -t programs < <(find "$win32/tests" -name '*.exe' 2>/dev/null | sort)
    if [ ${#programs[@]} -eq 0 ]; then
        echo "i686 unit tests: none built in $win32 (configured with KELVARO_BUILD_TESTS=OFF)"
        return 0
    fi
    started=$(date +%s)
    for program in "${programs[@]}"; do
        name=$(basename "$program" .exe)
        log="$run/$name.log"
        # A Wine that cannot start a program may still exit 0: the summary line is what counts.
        if (cd "$(dirname "$program")" && timeout 600 "$wine_i686" "$program" --gtest_brief=1 </dev/null >"$log" 2>&1) \
            && grep -q '^\[  PASSED  \]' "$log" && ! grep -q '^\[  FAILED  \]' "$log"; then
            echo "i686 $name: $(grep '^\[  PASSED  \]' "$log")"
        else
            cat "$log" >&2
            fail "$name; log: $log"
        fi
    done
    echo "i686 unit tests: ${#programs[@]} programs ($(seconds_since "$started"))"
}
shoot_dialog() {  # PNG COMMAND...: starts the dialog in $run/dialog and saves its window once it has painted
    local png=$1 window="" pid
    shift
    rm -rf "$run/dialog" && mkdir -p "$run/dialog"
    cp "$root/samples/film.srt" "$run/dialog/film.srt"
    printf '%s' "Z:${run//\//\\}\\dialog\\film.srt" >"$run/dialog/kv.ini"
    (cd "$run/dialog" && exec timeout 120 "$@" </dev/null >/dev/null 2>&1) &
    pid=$!
    for _ in $(seq 150); do
        window=$(xdotool search --name '^Kelvaro v' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
        sleep 0.1
    done
    if [ -n "$window" ]; then
        sleep 1
        import -silent -window "$window" "$png"
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    # A window not painted yet would match another one as blank as itself.
    [ -n "$window" ] && [ "$(identify -format %k "$png")" -gt 16 ]
}
test_dialog() {
    local started differing
    started=$(date +%s)
    if [ ! -f "$win32/Kelvaro.exe" ]; then
        echo "i686 Kelvaro.exe: not built"
        return 0
    fi
    shoot_dialog "$run/dialog-i686.png" "$wine_i686" "$win32/Kelvaro.exe" || {
        fail "Kelvaro.exe showed no painted window within 15 s"
        return 0
    }
    if [ ! -f "$win64/Kelvaro.exe" ]; then
        echo "i686 Kelvaro.exe: started ($(seconds_since "$started")); no x86_64 build to compare with"
        return 0
    fi
    # shellcheck source=scripts/wine-env.sh
    (source "$root/scripts/wine-env.sh" && "$root/scripts/wine-without-wm.sh" Kelvaro.exe &&
        shoot_dialog "$run/dialog-x86_64.png" "$KELVARO_WINE" "$win64/Kelvaro.exe") || {
        fail "the x86_64 Kelvaro.exe showed no painted window within 15 s"
        return 0
    }
    differing=$(compare -metric AE "$run/dialog-i686.png" "$run/dialog-x86_64.png" "$run/dialog-difference.png" 2>&1) ||
        true
    if [ "$differing" = 0 ]; then
        echo "i686 Kelvaro.exe: its window is pixel for pixel the x86_64 build's ($(seconds_since "$started"))"
    else
        fail "Kelvaro.exe's window differs from the x86_64 build's ($differing pixels): $run/dialog-*.png"
    fi
}

# --- The run.
mkdir -p "$(dirname "$KELVARO_CHROOT")"
exec 9>"$KELVARO_CHROOT.lock"
if ! flock -n 9; then
    echo "Waiting for another i686 run to finish with the chroot"
    flock 9
fi
xvfb=""
cleanup() {
    set +e
    if [ -e "$KELVARO_CHROOT/proc/self" ]; then
        timeout 10 "$wine_i686" --exec wineserver -k >/dev/null 2>&1
    fi
    stop_processes_in "$KELVARO_CHROOT"
    stop_processes_in "$KELVARO_CHROOT.new"
    unmount_all
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

total_started=$(date +%s)
if [ "$(cat "$KELVARO_CHROOT/etc/kelvaro-chroot" 2>/dev/null)" != "$recipe" ]; then
    mkdir -p "$root/build"
    build_started=$(date +%s)
    if ! build_chroot "$KELVARO_CHROOT.new" "$root/build/i686-chroot.log"; then
        stop_processes_in "$KELVARO_CHROOT.new"
        unmount_all
        remove_chroot "$KELVARO_CHROOT.new" || true
        skip "the i386 chroot could not be built ($(tail -n 1 "$root/build/i686-chroot.log" 2>/dev/null))"
    fi
    echo "i386 chroot built in $(seconds_since "$build_started")"
fi

rm -rf "$run" && mkdir -p "$run"
# A display of our own: the same screen for both screenshots, and no windows on the user's desktop.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$run/display" ] && break
    sleep 0.1
done
[ -s "$run/display" ] || skip "Xvfb did not start"
DISPLAY=":$(head -n 1 "$run/display")"
export DISPLAY

mkdir -p "$KELVARO_CHROOT$root" "$KELVARO_CHROOT/tmp/.X11-unix"
if ! mount_system "$KELVARO_CHROOT" || ! mount_at --bind "$root" "$KELVARO_CHROOT$root" ||
    ! mount_at --bind /tmp/.X11-unix "$KELVARO_CHROOT/tmp/.X11-unix"; then
    skip "the i386 chroot could not be mounted"
fi

# One Wine server for the whole run, started with its output elsewhere: Wine's helper processes inherit the output
# of the program that starts the prefix, and a captured output would wait for them.
timeout 30 "$wine_i686" --exec wineserver -p 60 </dev/null >/dev/null 2>&1
timeout 60 "$wine_i686" cmd /c exit </dev/null >/dev/null 2>&1 || true
# No window manager on Xvfb: Wine draws the dialogs' frames itself (see wine-without-wm.sh).
for program in Kelvaro.exe ui_tests.exe ui_process_tests.exe; do
    timeout 30 "$wine_i686" reg add "HKCU\\Software\\Wine\\AppDefaults\\$program\\X11 Driver" /v Managed /d N /f \
        </dev/null >/dev/null 2>&1
done

test_cli
test_zip
test_units
test_dialog
echo "i686 run: $(seconds_since "$total_started") in all"
if [ "$failures" -ne 0 ]; then
    echo "i686 run: $failures failed" >&2
    exit 1
fi
