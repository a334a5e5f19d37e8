#!/usr/bin/env bash
# shellcheck disable=SC2015 # "step && step || fail" is meant: fail when any of the steps fails
# kelvaro-cli on the file systems users keep subtitles on: FAT and exFAT as on a USB stick (through FUSE: neither has
# hard links nor a rename that refuses an existing name), tmpfs, and overlayfs with the file in its lower layer.
# On each, runs on one file: every run says Done, a.srt holds the input shifted by every run, a_original.srt the input
# of the last run, the backups before it move to a_original-1.srt, a_original-2.srt..., and nothing else is left.
# Usage: cli_file_systems.sh DATA_DIR CLI_COMMAND...   (DATA_DIR is not used; the file is made here)
# Mounting needs root, /dev/fuse and the tools that scripts/install-deps.sh installs; a file system that cannot be
# mounted is reported as skipped.
set -u
shift
cli=("$@")
for i in "${!cli[@]}"; do  # the runs start in a directory of their own
    case ${cli[$i]} in /*) ;; */*) [ -e "${cli[$i]}" ] && cli[i]=$PWD/${cli[$i]} ;; esac
done
work=$(mktemp -d)
mounted=()  # mount points, in the order mounted
loops=()    # loop devices to detach
unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        # A FUSE daemon that hangs must not hang the script: the lazy unmount detaches the file system regardless.
        timeout 20 umount "${mounted[$i]}" 2>/dev/null || timeout 20 fusermount -u "${mounted[$i]}" 2>/dev/null ||
            timeout 20 umount -l "${mounted[$i]}"
    done
    mounted=()
    for i in "${loops[@]}"; do timeout 20 losetup -d "$i"; done
    loops=()
}
reader=''  # the other program of run 4
trap '[ -z "$reader" ] || kill "$reader" 2>/dev/null; unmount_all; rm -rf --one-file-system "$work"' EXIT
trap 'exit 130' INT TERM

shift_ms=2345
# The input as a user has it: LF, one-digit hours, a two-line cue, markup and accents, a cue across the hour.
cues=(
    '1000 3500 Where were you?'
    '61250 64000 <i>At the harbour.</i>|Hélène, wait!'
    '600100 602900 - Both of us?|- Both of us.'
    '3598900 3601250 The end of the first hour.'
)
clock() {
    # shellcheck disable=SC2059 # the caller's $format, one of the two in make_srt
    printf "$format" $(($1 / 3600000)) $(($1 / 60000 % 60)) $(($1 / 1000 % 60)) $(($1 % 1000))
}
# The file shifted $1 times, as the program writes it (CR LF, HH:MM:SS,mmm); shifted no time, the input itself.
make_srt() {
    local cue start end text n=0 format='%02d:%02d:%02d,%03d' eol=$'\r\n'
    [ "$1" -gt 0 ] || format='%d:%02d:%02d,%03d' eol=$'\n'
    for cue in "${cues[@]}"; do
        read -r start end text <<<"$cue"
        n=$((n + 1))
        [ "$n" -eq 1 ] || printf '%s' "$eol"
        printf '%d%s%s --> %s%s%s%s' "$n" "$eol" "$(clock $((start + $1 * shift_ms)))" \
            "$(clock $((end + $1 * shift_ms)))" "$eol" "${text//|/$eol}" "$eol"
    done
}
for shifts in 0 1 2 3 4; do make_srt "$shifts" >"$work/shifted.$shifts"; done
printf 'Notes of another program\n' >"$work/other"

# Every command that touches a mounted file system is bounded, so that a FUSE daemon that hangs cannot hang the test.
# Each mounts a file system at $1, or sets $reason and fails; one that holds the input already sets $placed.
need() {
    local tool
    [ "$(id -u)" -eq 0 ] || { reason='mounting needs root' && return 1; }
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { reason="$tool not found (scripts/install-deps.sh installs it)" && return 1; }
    done
}
need_fuse() {
    [ -c /dev/fuse ] || { reason='no FUSE device /dev/fuse' && return 1; }
    need "$@" fusermount
}
# Runs a mounting command, bounded; on failure its first line of output becomes the reason.
mount_with() {
    local at=$1
    shift
    if timeout 30 "$@" >"$work/mount.log" 2>&1 && timeout 10 mountpoint -q "$at"; then
        mounted+=("$at")
        return 0
    fi
    reason="$* failed: $(grep -m1 . "$work/mount.log")"
    return 1
}
mount_vfat() {
    need_fuse mkfs.vfat fusefat || return 1
    truncate -s 64M "$work/fat.img" && timeout 30 mkfs.vfat -F 32 "$work/fat.img" >/dev/null || {
        reason='mkfs.vfat failed' && return 1
    }
    mount_with "$1" fusefat -o rw+ "$work/fat.img" "$1"
}
mount_exfat() {
    need_fuse mkfs.exfat mount.exfat-fuse losetup || return 1
    truncate -s 16M "$work/exfat.img" && timeout 30 mkfs.exfat "$work/exfat.img" >/dev/null || {
        reason='mkfs.exfat failed' && return 1
    }
    local loop
    loop=$(timeout 30 losetup -f --show "$work/exfat.img" 2>"$work/mount.log") || {
        reason="no loop device: $(grep -m1 . "$work/mount.log")" && return 1
    }
    loops+=("$loop")
    mount_with "$1" mount.exfat-fuse "$loop" "$1"
}
mount_tmpfs() {
    need mount || return 1
    mount_with "$1" mount -t tmpfs -o size=4m tmpfs "$1"
}
mount_overlayfs() {
    need mount || return 1
    local layers=$work/layers
    mkdir -p "$layers"
    mount_with "$layers" mount -t tmpfs -o size=4m tmpfs "$layers" || return 1
    mkdir -p "$layers/lower/files" "$layers/upper" "$layers/work" &&
        cp "$work/shifted.0" "$layers/lower/files/a.srt" && placed=yes &&
        mount_with "$1" mount -t overlay overlay \
            -o "lowerdir=$layers/lower,upperdir=$layers/upper,workdir=$layers/work" "$1"
}

# Runs the command once more on a.srt in $files (under ${wrap[@]}); its status in $status, outputs in $work/out, err.
wrap=()
seconds=$(printf '%d.%03d' $((shift_ms / 1000)) $((shift_ms % 1000)))
run_once() {
    timeout -k 5 60 env -C "$files" "${wrap[@]}" "${cli[@]}" --add "$seconds" a.srt \
        >"$work/out" 2>"$work/err" </dev/null
    status=$?
}
# check FS RUN SAID NAME=WHAT...: the run's exit status is 0, its success text ends in SAID, and the files left are
# exactly the NAMEs, each the input shifted WHAT times, or the other program's file for WHAT=other. A run that hung
# is not looked into further: the file system hangs too.
check() {
    local fs=$1 run=$2 said=$3 name shifts want expected problems=()
    shift 3
    case $status in
    0) ;;
    124 | 137)
        echo "FAIL: $fs: run $run did not end within 60 s" >&2
        return 1
        ;;
    *) problems+=("status $status: $(head -c 300 "$work/err" | tr '\r\n' ' /')") ;;
    esac
    expected=$(printf 'Done - original file is stored as\na_original.srt%s\n%d cue times moved by +%s s' \
        "${said:+$'\n'$said}" $((2 * ${#cues[@]})) "$seconds")
    [ "$(tr -d '\r' <"$work/out")" = "$expected" ] ||
        problems+=("said [$(tr '\r\n' ' /' <"$work/out")], expected [$(printf '%s' "$expected" | tr '\n' '/')]")
    for want in "$@"; do
        name=${want%=*} shifts=${want#*=}
        [ "$shifts" = other ] && expected=$work/other || expected=$work/shifted.$shifts
        timeout 10 cmp "$files/$name" "$expected" >"$work/cmp" 2>&1 ||
            problems+=("$name is not ${expected##*/}: $(head -c 200 "$work/cmp" | tr '\r\n' ' /')")
    done
    timeout 10 ls -A "$files" >"$work/left" 2>&1 || problems+=("cannot list the files: $(head -c 200 "$work/left")")
    while IFS= read -r name; do
        [[ " $* " == *" $name="* ]] || problems+=("$name is left beside a.srt")
    done <"$work/left"
    if [ "${#problems[@]}" -gt 0 ]; then
        echo "FAIL: $fs: run $run:" >&2
        printf '  %s\n' "${problems[@]}" >&2
        return 1
    fi
}

# Run 4. Where renames cannot refuse an existing name (FAT, exFAT: renameat2 says EINVAL, link EPERM), the run checks
# that the name is free and then renames. Right after link() failed, while strace holds the run back, another program,
# one that takes no locks, creates a_original-3.srt, the name the run chose for the older backup: the run must see it,
# move the backup one number on and leave that file as it is. Where link() is not called, a fourth plain run.
taken_meanwhile() {
    command -v strace >/dev/null || {
        echo "$1: run 4 skipped: strace not found (scripts/install-deps.sh installs it)"
        return 0
    }
    local taken=a_original-3.srt
    rm -f "$work/trace" "$work/created" && mkfifo "$work/trace" || return 1
    {
        # shellcheck disable=SC2016 # the inner shell expands them; with set -C it creates the file or fails
        grep -q -m1 '^link(.*= -1' && timeout 20 bash -c 'set -C && cat "$1" >"$2"' _ "$work/other" "$files/$taken" &&
            touch "$work/created"
        cat >/dev/null
    } <"$work/trace" &
    reader=$!
    # strace writes the line of a call on that name as it returns, and then holds the run back.
    # LeakSanitizer cannot work under a tracer; in a sanitized build the other runs check for leaks.
    wrap=(env "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
        strace -qq -o "$work/trace" -P "$taken" -e trace=link -e 'inject=link:delay_exit=1500000:when=1')
    run_once
    wrap=()
    kill "$reader" 2>/dev/null
    wait "$reader"
    reader=''
    if [ -e "$work/created" ]; then
        note=", $taken taken by another program during run 4"
        check "$1" 4 'The older backup was kept as a_original-4.srt' \
            a.srt=4 a_original.srt=3 a_original-1.srt=0 a_original-2.srt=1 a_original-3.srt=other a_original-4.srt=2
    else
        check "$1" 4 'The older backup was kept as a_original-3.srt' \
            a.srt=4 a_original.srt=3 a_original-1.srt=0 a_original-2.srt=1 a_original-3.srt=2
    fi
}

file_systems=(vfat exfat tmpfs overlayfs)
passed=0
skipped=0
for fs in "${file_systems[@]}"; do
    dir=$work/$fs
    files=$dir/files
    mkdir -p "$dir"
    reason='' placed='' note=''
    if ! "mount_$fs" "$dir"; then
        echo "SKIP: $fs: ${reason:-cannot mount}"
        skipped=$((skipped + 1))
        unmount_all
        continue
    fi
    start=$(date +%s%N)
    [ -n "$placed" ] || { timeout 20 mkdir "$files" && timeout 20 cp "$work/shifted.0" "$files/a.srt"; } || {
        echo "FAIL: $fs: cannot write the input to it" >&2
        unmount_all
        continue
    }
    run_once && check "$fs" 1 '' a.srt=1 a_original.srt=0 &&
        run_once && check "$fs" 2 'The older backup was kept as a_original-1.srt' \
            a.srt=2 a_original.srt=1 a_original-1.srt=0 &&
        run_once && check "$fs" 3 'The older backup was kept as a_original-2.srt' \
            a.srt=3 a_original.srt=2 a_original-1.srt=0 a_original-2.srt=1 &&
        taken_meanwhile "$fs" &&
        passed=$((passed + 1)) &&
        echo "$fs: passed in $((($(date +%s%N) - start) / 1000000)) ms$note"
    unmount_all
done

echo "$passed of ${#file_systems[@]} file systems passed ($skipped skipped)"
[ $((passed + skipped)) -eq "${#file_systems[@]}" ]
